// Common ground of the USB tests: a clean driver stand-in with a test clock, no real or
// environment devices, the journal on, and helpers to publish scripted devices and read
// back what went over the wire.
#pragma once

#include "DriverStandIn.h"
#include "StandInJournal.h"
#include "ManualClock.h"
#include "ScriptedDevice.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace zt40::test {

using Bytes = std::vector<std::uint8_t>;
using driver::JournalEntry;
using driver::ScriptedDevice;

class StandInTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("ZT40_SIMULATOR");
        driver::withdrawAll();
        driver::setRealDevicesEnabled(false);
        driver::clearJournal();
        driver::setJournalEnabled(true);
        before = driver::counters();
    }
    void TearDown() override {
        driver::withdrawAll();
        driver::setJournalEnabled(false);
        driver::clearJournal();
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

    // The journal, optionally only entries of one kind.
    static std::vector<JournalEntry> entries(JournalEntry::Kind kind) {
        std::vector<JournalEntry> out;
        for (auto& e : driver::journal()) {
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
        for (auto& e : driver::journal()) {
            switch (e.kind) {
            case JournalEntry::Kind::Open:
                out.push_back("open:" + e.device);
                break;
            case JournalEntry::Kind::Close:
                out.push_back("close:" + e.device);
                break;
            case JournalEntry::Kind::Control:
                std::snprintf(code, sizeof code, "%08x", e.code);
                out.push_back(std::string("control:") + code + ":" + e.device);
                break;
            case JournalEntry::Kind::Write:
            case JournalEntry::Kind::Read:
                std::snprintf(code, sizeof code, "%02x", e.endpoint);
                out.push_back(
                    std::string(e.kind == JournalEntry::Kind::Write ? "write:" : "read:") + code +
                    ":" + e.device);
                break;
            case JournalEntry::Kind::Cancel:
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

    driver::ManualClock clock{1000};
    driver::ScopedClock useClock{clock};
    driver::Counters before;
};

} // namespace zt40::test
