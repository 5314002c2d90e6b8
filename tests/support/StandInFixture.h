// Common ground of the USB tests: a clean driver stand-in with a test clock, no real or
// environment devices, the call log on, and helpers to publish scripted devices and read
// back what went over the wire; and the poll cycle ticking over an InstrumentLink on that
// clock (its users add tests/instrument, for PollRecorder.h, to their include path).
#pragma once

#include "DriverStandIn.h"
#include "InstrumentLink.h"
#include "ManualClock.h"
#include "PollCycle.h"
#include "PollRecorder.h"
#include "ScriptedDevice.h"
#include "StandInCallLog.h"
#include "UsbOsCalls.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace zt40::test {

using Bytes = std::vector<std::uint8_t>;
using driver::DeviceCall;

class StandInTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The stand-in's devices, also where the system has calls of its own.
        setUsbOsCalls(standInOsCalls());
        unsetEnvironment("ZT40_SIMULATOR");
        driver::withdrawAll();
        driver::setRealDevicesEnabled(false);
        clearCallLog();
        setCallLogEnabled(true);
        before = driver::counters();
    }
    void TearDown() override {
        driver::setWaitFault({});
        driver::withdrawAll();
        setCallLogEnabled(false);
        clearCallLog();
    }

    std::shared_ptr<ScriptedDevice> add(ScriptedDevice::Config config = {}) {
        auto device = std::make_shared<ScriptedDevice>(std::move(config));
        driver::publish(device);
        return device;
    }
    static ScriptedDevice::Config named(std::string name) {
        ScriptedDevice::Config c;
        c.name = std::move(name);
        return c;
    }

    // The call log, only the calls of one kind.
    static std::vector<DeviceCall> entries(DeviceCall::Kind kind) {
        std::vector<DeviceCall> out;
        for (auto& e : callLog()) {
            if (e.kind == kind) {
                out.push_back(e);
            }
        }
        return out;
    }
    // "open:a", "control:8094206c:a", "write:02:a", "read:81:a", ... in order.
    static std::vector<std::string> wire() {
        std::vector<std::string> out;
        char code[16];
        for (auto& e : callLog()) {
            switch (e.kind) {
            case DeviceCall::Kind::Open:
                out.push_back("open:" + e.device);
                break;
            case DeviceCall::Kind::Close:
                out.push_back("close:" + e.device);
                break;
            case DeviceCall::Kind::Control:
                std::snprintf(code, sizeof code, "%08x", static_cast<unsigned>(e.code));
                out.push_back(std::string("control:") + code + ":" + e.device);
                break;
            case DeviceCall::Kind::Write:
            case DeviceCall::Kind::Read:
                std::snprintf(code, sizeof code, "%02x", e.endpoint);
                out.push_back(std::string(e.kind == DeviceCall::Kind::Write ? "write:" : "read:") +
                              code + ":" + e.device);
                break;
            case DeviceCall::Kind::Cancel:
                out.push_back("cancel:" + e.device);
                break;
            }
        }
        return out;
    }

    // No handle, event or transfer of the stand-in's is left open since the test began.
    void expectNoHandlesOrEvents() const {
        const auto now = driver::counters();
        EXPECT_EQ(now.filesOpen, before.filesOpen);
        EXPECT_EQ(now.eventsOpen, before.eventsOpen);
        EXPECT_EQ(now.transfersPending, before.transfersPending);
    }
    // ... and no device list either.
    void expectNothingLeftOpen() const {
        expectNoHandlesOrEvents();
        EXPECT_EQ(driver::counters().listsOpen, before.listsOpen);
    }

    ManualClock clock{1000};
    driver::ScopedClock useClock{clock};
    driver::Counters before;
};

// The poll cycle over an InstrumentLink, ticked by hand on the stand-in's test clock.
class PolledLinkTest : public StandInTest {
protected:
    void SetUp() override {
        StandInTest::SetUp();
        env.open = [this] { return link.Open(); };
        env.exchange = [this](InstrumentFrame& f) { return link.Exchange(f); };
        env.close = [this] { link.Close(); };
    }
    void TearDown() override {
        link.Close();
        StandInTest::TearDown();
    }

    // The program's start-up step.
    void start() { cycle.start(); }
    // One timer tick after the interval of the running timer has passed.
    void tick() {
        clock.advance(env.periodMs());
        env.tick(cycle);
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) {
            tick();
        }
    }

    InstrumentLink link;
    PollRecorder env;
    PollCycle cycle{env};
};

} // namespace zt40::test
