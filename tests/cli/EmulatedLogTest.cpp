// zt40-log on a gloss meter emulated below libusb (umockdev): the real program finds it through
// real libusb, logs what it sends, rides out a hang and a pulled cable.
#include "EmulatedUsb.h"
#include "InstrumentUsbIds.h"
#include "LogRun.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <thread>

namespace zt40::test {
namespace {

using namespace std::chrono_literals;

// A reading the test makes the instrument hold, and how its record shows it.
struct Sent {
    double value;
    std::uint8_t flags;
    const char* mode;
};

class EmulatedLogTest : public ::testing::Test {
protected:
    void SetUp() override { emulatedBus().plugIn(device, 1, 7); }
    void TearDown() override { emulatedBus().unplug(device); }

    void hold(const Sent& reading) {
        auto lock = device.lock();
        device.instrument().holdReading(simulator::encodeReading(reading.value, reading.flags));
    }
    static bool has(const QByteArray& text, const char* event, int times = 1) {
        return text.count(QByteArray("\"event\":\"") + event + "\"") >= times;
    }
    // Holds each reading and waits for its record.
    static void sendEach(EmulatedLogTest& test, LogProcess& log, const std::vector<Sent>& sent,
                         int already = 0) {
        for (std::size_t k = 0; k < sent.size(); ++k) {
            test.hold(sent[k]);
            const int lines = already + static_cast<int>(k) + 1;
            ASSERT_TRUE(log.waitFor(
                [&](const QByteArray& out, const QByteArray&) { return out.count('\n') >= lines; },
                10s))
                << log.err().toStdString();
        }
    }
    static void expectRecords(const QByteArray& out, const std::vector<Sent>& sent) {
        const auto records = readJsonLines(out);
        ASSERT_EQ(records.size(), sent.size()) << out.toStdString();
        for (std::size_t k = 0; k < sent.size(); ++k) {
            EXPECT_DOUBLE_EQ(records[k]["value"].toDouble(), sent[k].value);
            EXPECT_EQ(records[k]["mode"], sent[k].mode);
            EXPECT_EQ(records[k]["serial"], "ZT40A07311");
            EXPECT_EQ(records[k]["firmware"], "02 15");
        }
    }

    EmulatedDevice device{InstrumentUsb::VendorId, InstrumentUsb::ProductId};
};

// Above 100 the instrument's frames carry x10.0 to x39.9 only.
const std::vector<Sent> Readings{
    {45.3, 0x01, "C"}, {3.0, 0x03, "LC"}, {118.4, 0x09, "CD"}, {239.9, 0x0B, "LCD"}};

TEST_F(EmulatedLogTest, TermDuringAHangEndsAtOnceWithTheReadingsWritten) {
    LogProcess log({"--format", "jsonl", "--status-format", "jsonl"});
    ASSERT_TRUE(log.waitFor(
        [](const QByteArray&, const QByteArray& err) { return has(err, "found"); }, 10s));
    sendEach(*this, log, {Readings[0]});
    device.withholdReplies(1000);
    // Inside a transfer that waits its 5 s.
    std::this_thread::sleep_for(1500ms);
    log.signal(SIGTERM);
    const LogRun run = log.finish(5s);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_LT(run.took, 1s);
    expectRecords(run.out, {Readings[0]});
    EXPECT_TRUE(has(run.err, "end")) << run.err.toStdString();
    device.withholdReplies(0);
}

// Once the instrument has appeared, --wait no longer ends the run: a pulled cable is waited for,
// also when a reopen failed past the time given (the first comes 5 s after the loss).
TEST_F(EmulatedLogTest, RecordsAreTheReadingsSentAlsoAcrossAPulledCable) {
    LogProcess log({"--format", "jsonl", "--status-format", "jsonl", "--wait", "5"});
    ASSERT_TRUE(log.waitFor(
        [](const QByteArray&, const QByteArray& err) { return has(err, "found"); }, 10s))
        << log.err().toStdString();
    sendEach(*this, log, {Readings[0], Readings[1]});
    emulatedBus().unplug(device);
    ASSERT_TRUE(log.waitFor(
        [](const QByteArray&, const QByteArray& err) { return has(err, "cannot-open"); }, 15s))
        << log.err().toStdString();
    emulatedBus().plugIn(device, 1, 7);
    ASSERT_TRUE(log.waitFor(
        [](const QByteArray&, const QByteArray& err) { return has(err, "reconnected"); }, 15s))
        << log.err().toStdString();
    sendEach(*this, log, {Readings[2], Readings[3]}, 2);
    log.signal(SIGINT);
    const LogRun run = log.finish(5s);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    expectRecords(run.out, Readings);
    const auto status = readJsonLines(run.err);
    ASSERT_FALSE(status.empty());
    EXPECT_EQ(status.back()["readings"], 4);
}

// Without the udev rule an unprivileged user may not open the instrument's node: the status
// line says why and what to do, also with --quiet.
TEST_F(EmulatedLogTest, NodeWithoutAccessIsToldWithTheUdevRule) {
    emulatedBus().unplug(device);
    EmulatedDevice locked(InstrumentUsb::VendorId, InstrumentUsb::ProductId);
    emulatedBus().plugIn(locked, 1, 9, false);
    // Run by root, the program runs as nobody; it makes its own sockets in the test bed.
    QStringList asUser;
    if (::geteuid() == 0) {
        ::chmod(qgetenv("UMOCKDEV_DIR").constData(), 01777);
        asUser = QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    LogProcess log({"--wait", "1", "--status-format", "jsonl", "--quiet"}, asUser);
    const LogRun run = log.finish(10s);
    emulatedBus().unplug(locked);
    EXPECT_EQ(run.exitCode, 2) << run.err.toStdString();
    const auto status = readJsonLines(run.err);
    ASSERT_FALSE(status.empty());
    EXPECT_EQ(status.front()["event"], "cannot-open");
    EXPECT_TRUE(status.front()["reason"].toString().contains(
        "/dev/bus/usb/001/009 cannot be opened: permission denied. Install the udev rule "
        "70-zt40.rules"))
        << run.err.toStdString();
    EXPECT_EQ(status.back()["message"], "no instrument appeared within 1 s");
}

} // namespace
} // namespace zt40::test
