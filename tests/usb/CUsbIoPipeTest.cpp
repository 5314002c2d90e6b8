// Pipe transfers against scripted devices: bounded waits on the test clock, cancellation,
// submission failures, and one fresh event per transfer.
#include "CUsbIoPipe.h"
#include "InstrumentLink.h"
#include "StandInFixture.h"

#include <gtest/gtest.h>

#include <thread>

namespace zt40::test {
namespace {

using Action = ScriptedDevice::Action;

class CUsbIoPipeTest : public StandInTest {
protected:
    // The device configured, IN pipe on 0x81, OUT pipe on 0x02.
    void bind(ScriptedDevice::Config config = {}) {
        device = add(std::move(config));
        HDEVINFO list = GetDeviceList(&UsbioInterfaceClass);
        ASSERT_EQ(control.Open(0, list, &UsbioInterfaceClass), 0u);
        ConfigurationRequest request{};
        request.interfaceCount = 1;
        request.settings[0] = {0, 0, 8};
        ASSERT_EQ(control.Configure(request), 0u);
        ASSERT_EQ(in.BindEndpoint(0, 0x81, list, &UsbioInterfaceClass), 0u);
        ASSERT_EQ(out.BindEndpoint(0, 0x02, list, &UsbioInterfaceClass), 0u);
        ReleaseDeviceList(list);
        clearCallLog();
    }

    std::shared_ptr<ScriptedDevice> device;
    CUsbIo control;
    CUsbIoPipe in;
    CUsbIoPipe out;
    std::uint8_t frame[8] = {0xA5, 0x00, 0x03, 0x11, 0x22, 0x33, 0x44, 0x55};
};

TEST_F(CUsbIoPipeTest, WriteThenReadMovesTheBytesBothWays) {
    bind();
    device->setAnswer([](const Bytes& b) {
        Bytes r = b;
        r[3] = 'Z';
        return r;
    });
    DWORD count = 8;
    EXPECT_EQ(out.TimedWrite(frame, count, 5000), 0u);
    EXPECT_EQ(count, 8u);
    std::uint8_t reply[8] = {};
    count = 8;
    EXPECT_EQ(in.TimedRead(reply, count, 5000), 0u);
    EXPECT_EQ(count, 8u);
    EXPECT_EQ(Bytes(reply, reply + 8), (Bytes{0xA5, 0x00, 0x03, 'Z', 0x22, 0x33, 0x44, 0x55}));
    const auto writes = entries(DeviceCall::Kind::Write);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].endpoint, 0x02);
    EXPECT_EQ(writes[0].bytes, (Bytes{0xA5, 0x00, 0x03, 0x11, 0x22, 0x33, 0x44, 0x55}));
    EXPECT_EQ(entries(DeviceCall::Kind::Read).at(0).endpoint, 0x81);
    EXPECT_EQ(clock.nowMs(), 1000u);
}

TEST_F(CUsbIoPipeTest, TransferThatNeverCompletesIsCancelledAtTheLimit) {
    bind();
    device->scriptWrite({Action::Never});
    device->scriptRead({Action::Never});
    DWORD count = 8;
    EXPECT_EQ(out.TimedWrite(frame, count, 5000), UsbStatus::Timeout);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(clock.nowMs(), 6000u);
    count = 8;
    EXPECT_EQ(in.TimedRead(frame, count, 250), UsbStatus::Timeout);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(clock.nowMs(), 6250u);
    EXPECT_EQ(device->cancellations(), 2);
    EXPECT_EQ(wire(), (std::vector<std::string>{"write:02:scripted", "cancel:scripted",
                                                "read:81:scripted", "cancel:scripted"}));
    EXPECT_EQ(driver::counters().transfersPending, 0u);
}

// Real drivers finish a cancelled transfer some time after the cancellation, sometimes with
// the data that was already on its way. The timed transfers must wait for that end, whether
// the time limit expired or the wait itself failed: once they return, neither the caller's
// buffer nor the record on their stack may be touched again.
TEST_F(CUsbIoPipeTest, CancelledTransferThatFinishesLateIsAwaitedBeforeReturning) {
    ScriptedDevice::Config config;
    config.cancelLatencyMs = 300;
    config.lateReply = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    bind(config);
    device->setDefaultWrite({Action::Never});
    device->setDefaultRead({Action::Never});
    const struct {
        const char* what;
        bool waitFails;
        DWORD status;
        std::uint64_t elapsedMs; // the limit if it expired, then the cancelled transfer's end
    } cases[] = {
        {"limit expires", false, UsbStatus::Timeout, 5300},
        {"wait fails", true, ERROR_IO_INCOMPLETE, 300},
    };
    int cancellations = 0;
    for (const auto& c : cases) {
        for (const bool read : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (read ? ", read" : ", write"));
            const auto abandonedBefore = driver::counters().transfersAbandoned;
            const std::uint64_t start = clock.nowMs();
            if (c.waitFails) {
                failWaits(1);
            }
            DWORD count = 8;
            const DWORD status =
                read ? in.TimedRead(frame, count, 5000) : out.TimedWrite(frame, count, 5000);
            EXPECT_EQ(status, c.status);
            EXPECT_EQ(clock.nowMs() - start, c.elapsedMs);
            EXPECT_EQ(device->cancellations(), ++cancellations);
            EXPECT_EQ(driver::counters().transfersPending, 0u);
            EXPECT_EQ(driver::counters().transfersAbandoned, abandonedBefore);

            // Time goes on after the return: nothing more reaches the caller's memory.
            Bytes after(frame, frame + 8);
            HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
            EXPECT_EQ(WaitForSingleObject(event, 1000), WAIT_TIMEOUT);
            CloseHandle(event);
            EXPECT_EQ(Bytes(frame, frame + 8), after);
        }
    }
}

TEST_F(CUsbIoPipeTest, TransferJustInsideTheLimitSucceeds) {
    bind();
    device->scriptWrite({Action::Delay, 0, 0, 4999});
    DWORD count = 8;
    EXPECT_EQ(out.TimedWrite(frame, count, 5000), 0u);
    EXPECT_EQ(count, 8u);
    EXPECT_EQ(clock.nowMs(), 5999u);
    EXPECT_EQ(device->cancellations(), 0);
}

TEST_F(CUsbIoPipeTest, TransferWithoutAnEventIsStillFinishedBeforeReturning) {
    bind();
    device->scriptRead({Action::Never});
    failEventCreation(1);
    DWORD count = 8;
    // The wait itself fails; the read must not stay outstanding on the caller's buffer.
    EXPECT_EQ(in.TimedRead(frame, count, 5000), static_cast<DWORD>(ERROR_IO_INCOMPLETE));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(device->cancellations(), 1);
    EXPECT_EQ(driver::counters().transfersPending, 0u);
}

TEST_F(CUsbIoPipeTest, FailureAtSubmissionReturnsItsErrorWithoutWaiting) {
    bind();
    device->scriptRead({Action::FailAtSubmission, ERROR_GEN_FAILURE});
    DWORD count = 8;
    EXPECT_EQ(in.TimedRead(frame, count, 5000), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_EQ(clock.nowMs(), 1000u);
    EXPECT_EQ(device->cancellations(), 0);

    CUsbIoPipe closed;
    count = 8;
    EXPECT_EQ(closed.TimedWrite(frame, count, 5000), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(clock.nowMs(), 1000u);
}

// Whatever the error, a finished transfer reports it; 259 is the code of "no more items" and
// once looked like a transfer still pending.
TEST_F(CUsbIoPipeTest, FailureOnCompletionIsCollectedFromTheSystem) {
    bind();
    std::uint64_t expectedNow = 1000;
    for (const DWORD error : {ERROR_DEVICE_NOT_CONNECTED, ERROR_NO_MORE_ITEMS, ERROR_GEN_FAILURE}) {
        device->scriptRead({Action::FailLater, error, 0, 40});
        DWORD count = 8;
        EXPECT_EQ(in.TimedRead(frame, count, 5000), error);
        expectedNow += 40;
        EXPECT_EQ(clock.nowMs(), expectedNow);
        EXPECT_EQ(device->cancellations(), 0);
    }
}

TEST_F(CUsbIoPipeTest, ShortReadReportsTheBytesThatCame) {
    bind();
    DWORD count = 8;
    ASSERT_EQ(out.TimedWrite(frame, count, 5000), 0u);
    device->scriptRead({Action::Short, 0, 7});
    std::uint8_t reply[8] = {0, 0, 0, 0, 0, 0, 0, 0xEE};
    count = 8;
    EXPECT_EQ(in.TimedRead(reply, count, 5000), 0u);
    EXPECT_EQ(count, 7u);
    EXPECT_EQ(reply[6], 0x44);
    EXPECT_EQ(reply[7], 0xEE);
}

TEST_F(CUsbIoPipeTest, SubmitAndWaitStepByStep) {
    bind();
    // Completed by the submission itself: no wait at all.
    device->scriptWrite({Action::CompleteAtOnce});
    {
        CUsbIoBuf record(frame, 8);
        record.NumberOfBytesToTransfer = 8;
        EXPECT_TRUE(out.SubmitWrite(record));
        EXPECT_EQ(record.Status, 0u);
        EXPECT_EQ(record.BytesTransferred, 8u);
        EXPECT_EQ(out.WaitTransfer(record, 0), 0u);
    }
    // Pending: a short wait expires and leaves it outstanding, a longer one collects it.
    device->scriptRead({Action::Delay, 0, 0, 300});
    {
        std::uint8_t reply[8] = {};
        CUsbIoBuf record(reply, 8);
        record.NumberOfBytesToTransfer = 8;
        EXPECT_TRUE(in.SubmitRead(record));
        EXPECT_EQ(record.Status, static_cast<DWORD>(ERROR_IO_PENDING));
        EXPECT_EQ(in.WaitTransfer(record, 100), UsbStatus::Timeout);
        EXPECT_EQ(record.Status, static_cast<DWORD>(ERROR_IO_PENDING));
        EXPECT_EQ(in.WaitTransfer(record, 1000), 0u);
        EXPECT_EQ(record.Status, 0u);
        EXPECT_EQ(record.BytesTransferred, 8u);
        EXPECT_EQ(reply[0], 0xA5);
        EXPECT_EQ(clock.nowMs(), 1300u);
    }
    // Failing at submission: false, the error in the record, and the wait hands it back.
    device->scriptRead({Action::FailAtSubmission, ERROR_NOT_READY});
    {
        CUsbIoBuf record(frame, 8);
        record.NumberOfBytesToTransfer = 8;
        EXPECT_FALSE(in.SubmitRead(record));
        EXPECT_EQ(record.Status, static_cast<DWORD>(ERROR_NOT_READY));
        EXPECT_EQ(in.WaitTransfer(record, 5000), static_cast<DWORD>(ERROR_NOT_READY));
    }
}

TEST_F(CUsbIoPipeTest, CancelOnlyReachesTheCallingThreadsTransfers) {
    bind();
    device->setDefaultRead({Action::Never});
    std::uint8_t reply[8] = {};
    CUsbIoBuf record(reply, 8);
    record.NumberOfBytesToTransfer = 8;
    ASSERT_TRUE(in.SubmitRead(record));
    bool cancelledElsewhere = false;
    std::thread other([&] { cancelledElsewhere = in.CancelTransfers(); });
    other.join();
    EXPECT_TRUE(cancelledElsewhere);
    EXPECT_EQ(in.WaitTransfer(record, 0), UsbStatus::Timeout);
    EXPECT_EQ(device->cancellations(), 0);
    EXPECT_TRUE(in.CancelTransfers());
    EXPECT_EQ(in.WaitTransfer(record, INFINITE), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    EXPECT_EQ(device->cancellations(), 1);
    CUsbIoPipe closed;
    EXPECT_FALSE(closed.CancelTransfers());
}

TEST_F(CUsbIoPipeTest, EveryTransferUsesOneFreshEvent) {
    bind();
    const auto start = driver::counters();
    DWORD count = 8;
    ASSERT_EQ(out.TimedWrite(frame, count, 5000), 0u);
    count = 8;
    ASSERT_EQ(in.TimedRead(frame, count, 5000), 0u);
    device->scriptWrite({Action::Never});
    count = 8;
    ASSERT_EQ(out.TimedWrite(frame, count, 5000), UsbStatus::Timeout);
    const auto end = driver::counters();
    EXPECT_EQ(end.eventsCreated - start.eventsCreated, 3u);
    EXPECT_EQ(end.eventsOpen, start.eventsOpen);
}

TEST_F(CUsbIoPipeTest, UnpluggedDeviceFailsTransfersAtOnceUntilPluggedInAgain) {
    bind();
    device->unplug();
    DWORD count = 8;
    EXPECT_EQ(out.TimedWrite(frame, count, 5000), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(clock.nowMs(), 1000u);
    device->plugIn();
    count = 8;
    EXPECT_EQ(out.TimedWrite(frame, count, 5000), 0u);
}

TEST_F(CUsbIoPipeTest, PipesRefuseTheWrongDirection) {
    bind();
    DWORD count = 8;
    EXPECT_EQ(in.TimedWrite(frame, count, 5000), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    count = 8;
    EXPECT_EQ(out.TimedRead(frame, count, 5000), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
}

} // namespace
} // namespace zt40::test
