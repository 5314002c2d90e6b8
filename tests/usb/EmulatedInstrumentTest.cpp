// The whole way to a real instrument on Linux: poll cycle → InstrumentLink → stand-in →
// libusb → usbfs, with the gloss meter emulated by umockdev below libusb.
#include "CUsbIoPipe.h"
#include "EmulatedUsb.h"
#include "InstrumentLink.h"
#include "LibusbBackend.h"
#include "StandInFixture.h"
#include "UsbDiagnosticSink.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <chrono>
#include <future>
#include <optional>
#include <thread>

namespace zt40::test {
namespace {

using Clock = std::chrono::steady_clock;

class EmulatedInstrumentTest : public PolledLinkTest {
protected:
    void SetUp() override {
        emulatedBus();
        PolledLinkTest::SetUp();
        driver::setRealDevicesEnabled(true);
    }
    void TearDown() override {
        link.Close();
        setUsbDiagnosticSink({});
        for (EmulatedDevice* d : plugged) {
            emulatedBus().unplug(*d);
        }
        EXPECT_TRUE(listed(0));
        driver::setRealDevicesEnabled(false);
        PolledLinkTest::TearDown();
    }

    // A new device at bus 1 and this address; it lives as long as the test.
    EmulatedDevice& make(std::uint16_t vendor = InstrumentUsb::VendorId,
                         std::uint16_t product = InstrumentUsb::ProductId) {
        return *made.emplace_back(std::make_unique<EmulatedDevice>(vendor, product));
    }
    EmulatedDevice& plug(EmulatedDevice& device, int address, bool accessible = true) {
        emulatedBus().plugIn(device, 1, address, accessible);
        plugged.push_back(&device);
        return device;
    }
    EmulatedDevice& plug(int address, std::uint16_t vendor = InstrumentUsb::VendorId,
                         std::uint16_t product = InstrumentUsb::ProductId) {
        return plug(make(vendor, product), address);
    }
    void unplug(EmulatedDevice& device) {
        emulatedBus().unplug(device);
        std::erase(plugged, &device);
    }
    // libusb learns of arrivals and removals from hotplug events on its own thread, and the
    // emulation of closed files on its own: waits until the condition holds (two seconds at most).
    template <class Condition> static bool eventually(Condition condition) {
        const auto until = Clock::now() + std::chrono::seconds(2);
        while (!condition()) {
            if (Clock::now() > until) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
    static bool listed(std::size_t instruments) {
        return eventually([&] {
            return driver::libusbDevices({{InstrumentUsb::VendorId, InstrumentUsb::ProductId}})
                       .size() == instruments;
        });
    }
    static bool closed(const EmulatedDevice& device) {
        return eventually([&] { return device.openFiles() == 0; });
    }

    std::vector<std::unique_ptr<EmulatedDevice>> made;
    std::vector<EmulatedDevice*> plugged;
};

TEST_F(EmulatedInstrumentTest, FoundAmongOtherDevicesClaimedAndPolled) {
    EmulatedDevice* other = &plug(2, 0x1234, 0x5678);
    EmulatedDevice* sameVendor = &plug(3, InstrumentUsb::VendorId, 0x0001);
    EmulatedDevice* swapped = &plug(4, InstrumentUsb::ProductId, InstrumentUsb::VendorId);
    EmulatedDevice* meter = &plug(5);
    ASSERT_TRUE(listed(1));

    start();
    ASSERT_TRUE(env.timer1);
    EXPECT_TRUE(meter->claimed());
    EXPECT_FALSE(sameVendor->claimed() || swapped->claimed() || other->claimed());
    ticks(12);
    EXPECT_EQ(env.serial, "Z T 4 0 A 0 7 3 1 1 ");
    EXPECT_EQ(env.firmware, "02 15 ");
    {
        auto lock = meter->lock();
        meter->instrument().holdReading(simulator::encodeReading(87.6, 0x09));
    }
    ticks(3);
    ASSERT_EQ(env.rows.size(), 1u);
    EXPECT_EQ(env.rows[0].value, "   87.6 ");
    EXPECT_EQ(env.rows[0].mode, " CD");
    // Only the instrument is served, under its bus and address.
    EXPECT_EQ(entries(DeviceCall::Kind::Open).at(0).device, "usb-0c70-074c-001-005");
}

// The read never comes; the cancelled transfer comes back only 150 ms after the
// cancellation, and the exchange must not return before that, nor wait for ever when the
// cancellation does not complete.
TEST_F(EmulatedInstrumentTest, ReadThatNeverCompletesIsCancelledAtItsLimitAndTheNextWorks) {
    EmulatedDevice* meter = &plug(5);
    meter->setCancelLatencyMs(150);
    ASSERT_TRUE(listed(1));
    ASSERT_TRUE(link.Open());
    meter->withholdReplies(1);
    {
        auto lock = meter->lock();
        meter->instrument().injectFault(simulator::Fault::ShortReply);
    }
    InstrumentFrame frame{0x5A, 0, 0, 0, 0, 0, 0, 0};
    const std::uint64_t start = clock.nowMs();
    const auto realStart = Clock::now();
    // A cancellation that never completes would leave the exchange waiting for ever: after
    // three seconds the cable is pulled, which ends every transfer, and the test fails.
    auto exchange = std::async(std::launch::async, [&] { return link.Exchange(frame); });
    if (exchange.wait_for(std::chrono::seconds(3)) == std::future_status::timeout) {
        unplug(*meter);
        FAIL() << "The cancelled read did not come back within 3 s: its cancellation never "
                  "completed.";
    }
    EXPECT_FALSE(exchange.get());
    EXPECT_EQ(clock.nowMs() - start, 5000u);
    EXPECT_GE(Clock::now() - realStart, std::chrono::milliseconds(150));
    EXPECT_EQ(meter->discards(), 1);
    EXPECT_EQ(driver::counters().transfersPending, 0u);
    EXPECT_EQ(driver::counters().transfersAbandoned, before.transfersAbandoned);

    frame = {0x5A, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(link.Exchange(frame)) << "a 7-byte reply fails the exchange";
    frame = {0x5A, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(link.Exchange(frame));
    EXPECT_EQ(frame[0], 0x5A);
}

TEST_F(EmulatedInstrumentTest, UnplugDuringAReadFailsItAtOnce) {
    EmulatedDevice* meter = &plug(5);
    ASSERT_TRUE(listed(1));
    ASSERT_TRUE(link.Open());
    meter->withholdReplies(1);
    driver::setClock(nullptr); // real time: the cable is pulled 100 ms into the exchange
    std::thread puller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        unplug(*meter);
    });
    InstrumentFrame frame{0x5A, 0, 0, 0, 0, 0, 0, 0};
    const auto realStart = Clock::now();
    EXPECT_FALSE(link.Exchange(frame));
    EXPECT_LT(Clock::now() - realStart, std::chrono::seconds(2));
    puller.join();
    driver::setClock(&clock);
    link.Close();
    EXPECT_TRUE(listed(0));
    EXPECT_TRUE(closed(*meter));
    EXPECT_EQ(driver::counters().transfersPending, 0u);
}

// Linux hands out addresses round robin: after enough plugging the instrument comes back at
// the address it had. Either way the next reconnect attempt opens it.
TEST_F(EmulatedInstrumentTest, InstrumentBackAtTheSameOrANewAddressIsOpenedByTheNextAttempt) {
    EmulatedDevice* current = &plug(5);
    ASSERT_TRUE(listed(1));
    start();
    ticks(12);
    EXPECT_EQ(env.firmware, "02 15 ");
    for (const int next : {5, 7}) {
        SCOPED_TRACE(next);
        EmulatedDevice& gone = *current;
        unplug(gone);
        ASSERT_TRUE(listed(0));
        ticks(2);
        ASSERT_TRUE(env.timer2);
        EXPECT_EQ(env.status, "Connection lost");
        EXPECT_TRUE(closed(gone));

        EmulatedDevice& back = plug(next);
        current = &back;
        ASSERT_TRUE(listed(1));
        tick(); // one reconnect period
        EXPECT_TRUE(env.timer1);
        EXPECT_FALSE(env.timer2);
        EXPECT_TRUE(back.claimed());
    }
    // Only the device that is there is held.
    EXPECT_EQ(driver::libusbStats().devices, 1u);
    EXPECT_EQ(driver::libusbStats().closingHandles, 0u);
}

TEST_F(EmulatedInstrumentTest, PermissionDeniedFailsOpenAndIsToldOnce) {
    std::vector<std::string> lines;
    setUsbDiagnosticSink([&](const std::string& line) { lines.push_back(line); });
    EmulatedDevice* meter = &plug(make(), 9, false);
    ASSERT_TRUE(listed(1));
    {
        WithoutFileOverride asUser;
        start();
        ticks(3); // three reconnect attempts
    }
    EXPECT_TRUE(env.timer2);
    EXPECT_EQ(env.status, "Couldn't open port! Please restart application to retry!");
    EXPECT_FALSE(link.device().IsOpen());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("/dev/bus/usb/001/009"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("permission denied"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("70-zt40.rules"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("\"Using it with a real instrument\""), std::string::npos) << lines[0];
    EXPECT_TRUE(closed(*meter));
}

// The instrument pulled and plugged in again at the same address before the program looked:
// it is a new device all the same, however alike its bus, address and descriptors are. The
// next attempt opens it, or tells its problem again, as after any re-plugging.
TEST_F(EmulatedInstrumentTest, InstrumentReplacedAtTheSameAddressUnseenIsANewDevice) {
    std::vector<std::string> lines;
    setUsbDiagnosticSink([&](const std::string& line) { lines.push_back(line); });
    for (const bool accessible : {true, false}) {
        SCOPED_TRACE(accessible ? "accessible" : "permission denied");
        lines.clear();
        const int address = accessible ? 12 : 13;
        EmulatedDevice& first = plug(make(), address, accessible);
        ASSERT_TRUE(listed(1));
        // As a user, for whom the node's permissions apply (not while plugging: the emulation
        // sends its events as root).
        const auto open = [&] {
            std::optional<WithoutFileOverride> asUser;
            if (!accessible) {
                asUser.emplace();
            }
            return link.Open();
        };
        EXPECT_EQ(open(), accessible);
        link.Close();
        EXPECT_EQ(lines.size(), accessible ? 0u : 1u);
        unplug(first);
        EmulatedDevice& second = plug(make(), address, accessible);
        // No device list in between: libusb takes in the removal and the arrival on its own.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (accessible) {
            EXPECT_TRUE(eventually(open));
            EXPECT_TRUE(second.claimed());
            EXPECT_TRUE(lines.empty());
        } else {
            EXPECT_TRUE(eventually([&] { return !open() && lines.size() == 2; }));
            EXPECT_NE(lines.back().find("permission denied"), std::string::npos) << lines.back();
        }
        link.Close();
        unplug(second);
        ASSERT_TRUE(listed(0));
    }
}

// The interface held by someone else: told once, and once it is free the next attempt opens;
// held again after that, it is told again.
TEST_F(EmulatedInstrumentTest, InterfaceHeldElsewhereIsToldOnceUntilItIsFree) {
    std::vector<std::string> lines;
    setUsbDiagnosticSink([&](const std::string& line) { lines.push_back(line); });
    const struct {
        EmulatedDevice::Holder holder;
        int address;
        const char* told;
    } cases[] = {
        {EmulatedDevice::Holder::OtherProgram, 10,
         "is in use: another program holds its interface"},
        {EmulatedDevice::Holder::KernelDriver, 11,
         "held by a kernel driver that cannot be detached"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.told);
        lines.clear();
        EmulatedDevice& meter = plug(c.address);
        meter.setHolder(c.holder);
        ASSERT_TRUE(listed(1));
        for (int attempt = 0; attempt < 3; ++attempt) {
            EXPECT_FALSE(link.Open());
        }
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find(EmulatedUsbBus::nodeOf(1, c.address)), std::string::npos);
        EXPECT_NE(lines[0].find(c.told), std::string::npos) << lines[0];
        EXPECT_FALSE(meter.claimed());

        meter.setHolder(EmulatedDevice::Holder::Nobody);
        EXPECT_TRUE(link.Open());
        EXPECT_TRUE(meter.claimed());
        EXPECT_EQ(lines.size(), 1u);
        link.Close();

        // Held again later on the same device: a new problem, told again.
        meter.setHolder(c.holder);
        EXPECT_FALSE(link.Open());
        EXPECT_EQ(lines.size(), 2u);
        unplug(meter);
        ASSERT_TRUE(listed(0));
    }
}

// A handle closed while its cancelled read has not come back: the interface is released all
// the same, so the next Open can claim it, and nothing of the old handle stays behind.
TEST_F(EmulatedInstrumentTest, ClosingUnderACancelledReadThatComesBackLateLeavesNothingClaimed) {
    EmulatedDevice* meter = &plug(5);
    meter->setCancelLatencyMs(60000);
    ASSERT_TRUE(listed(1));
    ASSERT_TRUE(link.Open());
    std::uint8_t buffer[8] = {};
    CUsbIoBuf record(buffer, 8);
    record.NumberOfBytesToTransfer = 8;
    ASSERT_TRUE(const_cast<CUsbIoPipe&>(link.inPipe()).SubmitRead(record));
    link.Close();
    EXPECT_FALSE(meter->claimed());
    EXPECT_TRUE(closed(*meter));
    EXPECT_EQ(driver::counters().transfersPending, 0u);
    ASSERT_TRUE(link.Open());
    EXPECT_TRUE(meter->claimed());
}

// A month of use in fast motion: the process holds no more files, libusb devices or memory
// afterwards than before.
TEST_F(EmulatedInstrumentTest, ThousandOpensAndClosesLeaveNothingBehind) {
    setCallLogEnabled(false);
    plug(5);
    ASSERT_TRUE(listed(1));
    ASSERT_TRUE(link.Open());
    link.Close();
    const int filesBefore = openFileDescriptors();
    const auto heapBefore = mallinfo2().uordblks;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(link.Open()) << i;
        link.Close();
    }
    // The emulation's end of each file closes on its own thread.
    EXPECT_TRUE(eventually([&] { return openFileDescriptors() <= filesBefore; }));
    EXPECT_EQ(driver::libusbStats().referenced, 1u);
    // Heap in use (not counted under AddressSanitizer, which checks for leaks itself).
    EXPECT_LT(mallinfo2().uordblks, heapBefore + 16 * 1024)
        << "grew by " << mallinfo2().uordblks - heapBefore;
    expectNothingLeftOpen();
}

TEST_F(EmulatedInstrumentTest, HundredUnplugsAndReplugsLeaveNothingBehind) {
    setCallLogEnabled(false);
    std::vector<EmulatedDevice*> devices;
    for (int i = 0; i < 104; ++i) {
        devices.push_back(&make());
    }
    auto replug = [&](std::size_t i) {
        if (i > 0) {
            unplug(*devices[i - 1]);
            ASSERT_TRUE(listed(0)) << i;
        }
        plug(*devices[i], 5 + static_cast<int>(i % 3));
        ASSERT_TRUE(listed(1)) << i;
        ASSERT_TRUE(link.Open()) << i;
        InstrumentFrame frame{0x5A, 0, 0, 0, 0, 0, 0, 0};
        ASSERT_TRUE(link.Exchange(frame)) << i;
        link.Close();
    };
    // One round at each address first: the emulation keeps a socket per device node.
    for (std::size_t i = 0; i < 4; ++i) {
        replug(i);
    }
    const int filesBefore = openFileDescriptors();
    for (std::size_t i = 4; i < devices.size(); ++i) {
        replug(i);
    }
    // The emulation's end of each file closes on its own thread.
    EXPECT_TRUE(eventually([&] { return openFileDescriptors() <= filesBefore; }));
    const auto held = driver::libusbStats();
    EXPECT_EQ(held.devices, 1u);
    EXPECT_EQ(held.referenced, 1u);
    EXPECT_EQ(held.closingHandles, 0u);
    EXPECT_EQ(held.transfersInFlight, 0u);
    expectNothingLeftOpen();
}

} // namespace
} // namespace zt40::test
