// The operating-system behaviour that the USB classes rely on, pinned on both sides of
// UsbOsCalls.h: the real Win32 functions on Windows (run under Wine in CI), and the driver
// stand-in elsewhere. The same expectations hold for both; where they differ, the stand-in
// has to follow Windows.
//
// Each side provides an overlapped handle whose reads stay pending until its other end sends:
// on Windows the client end of a named pipe opened with FILE_FLAG_OVERLAPPED, elsewhere a
// scripted device behind the stand-in, with one handle bound to each of its endpoints.
#include "CUsbIo.h"
#include "InstrumentLink.h"
#include "UsbOsCalls.h"
#include "UsbTypes.h"

#ifndef _WIN32
#include "DriverStandIn.h"
#include "ManualClock.h"
#include "ScriptedDevice.h"
#include "StandInCallLog.h"
#include "TestEnvironment.h"
#endif

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace zt40::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// An unnamed auto-reset event, not signalled, as every transfer and control request uses.
struct Event {
    HANDLE handle = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    Event() = default;
    ~Event() {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
};

// One overlapped record with its own event.
struct Overlapped {
    Event event;
    OVERLAPPED record{};
    Overlapped() { record.hEvent = event.handle; }
};

#ifdef _WIN32

// The client end of a named pipe, as CreateFileA opens a device path for the USB classes.
class PendingEnds {
public:
    PendingEnds() {
        static std::atomic<int> sequence{0};
        const std::string name = "\\\\.\\pipe\\zt40-os-calls-" +
                                 std::to_string(GetCurrentProcessId()) + "-" +
                                 std::to_string(sequence++);
        server_ = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX,
                                   PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 256, 256, 0,
                                   nullptr);
        client_ = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    }
    ~PendingEnds() {
        if (client_ != INVALID_HANDLE_VALUE) {
            CloseHandle(client_);
        }
        if (server_ != INVALID_HANDLE_VALUE) {
            CloseHandle(server_);
        }
    }
    PendingEnds(const PendingEnds&) = delete;
    PendingEnds& operator=(const PendingEnds&) = delete;

    bool ready() const {
        return server_ != INVALID_HANDLE_VALUE && client_ != INVALID_HANDLE_VALUE;
    }
    HANDLE readHandle() const { return client_; }
    HANDLE writeHandle() const { return client_; }

    // The other end sends these bytes to the reader.
    void deliver(const Bytes& bytes) {
        DWORD written = 0;
        ASSERT_TRUE(
            WriteFile(server_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        ASSERT_EQ(written, bytes.size());
    }

    // What the other end has received from the writer so far.
    Bytes received() {
        DWORD available = 0;
        if (!PeekNamedPipe(server_, nullptr, 0, nullptr, &available, nullptr) || available == 0) {
            return {};
        }
        Bytes bytes(available);
        DWORD read = 0;
        if (!ReadFile(server_, bytes.data(), available, &read, nullptr)) {
            return {};
        }
        bytes.resize(read);
        return bytes;
    }

private:
    HANDLE server_ = INVALID_HANDLE_VALUE;
    HANDLE client_ = INVALID_HANDLE_VALUE;
};

// Kernel handles held by the process: files, events and everything else. Counted by probing,
// since Wine's GetProcessHandleCount does not count; handle values are multiples of 4.
std::size_t openHandles() {
    std::size_t count = 0;
    for (std::uintptr_t value = 4; value < 0x4000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++count;
        }
    }
    return count;
}

// No device of the driver's interface class exists on a test machine.
class NoDevices {};

// A device list holding one interface whose device path cannot be opened: a private list of
// an interface class of our own, so that no list of the system is touched.
class OneInterface {
public:
    static constexpr GUID InterfaceClass = {
        0x6B1E0D52, 0x4A7C, 0x4E55, {0x9A, 0x61, 0x2F, 0x5C, 0x3D, 0x0E, 0x7A, 0x40}};

    OneInterface() {
        list_ = SetupDiCreateDeviceInfoList(nullptr, nullptr);
        if (list_ == INVALID_HANDLE_VALUE) {
            return;
        }
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        SP_DEVICE_INTERFACE_DATA created{};
        created.cbSize = sizeof created;
        ready_ =
            SetupDiCreateDeviceInfoA(list_, "ZT40OSCALLS", &InterfaceClass, nullptr, nullptr,
                                     DICD_GENERATE_ID, &device) &&
            SetupDiCreateDeviceInterfaceA(list_, &device, &InterfaceClass, nullptr, 0, &created);
    }
    ~OneInterface() {
        if (list_ != INVALID_HANDLE_VALUE) {
            SetupDiDestroyDeviceInfoList(list_);
        }
    }
    OneInterface(const OneInterface&) = delete;
    OneInterface& operator=(const OneInterface&) = delete;

    bool ready() const { return ready_; }
    HDEVINFO list() const { return list_; }
    const GUID* interfaceClass() const { return &InterfaceClass; }

private:
    HDEVINFO list_ = INVALID_HANDLE_VALUE;
    bool ready_ = false;
};

#else

// A scripted device behind the stand-in; its reads stay pending until a reply is queued.
class PendingEnds {
public:
    PendingEnds() {
        driver::setRealDevicesEnabled(false);
        driver::withdrawAll();
        ScriptedDevice::Config config;
        config.name = "os-calls";
        device_ = std::make_shared<ScriptedDevice>(config);
        driver::publish(device_);
        // As the instrument channel does: configure through one handle, bind two others.
        const std::string path = firstDevicePath();
        ConfigurationRequest configuration{};
        configuration.interfaceCount = 1;
        configuration.settings[0] = {0, 0, 8};
        control_ = openWithRequest(path, UsbRequest::SetConfiguration, &configuration,
                                   sizeof configuration);
        PipeBindRequest in{0x81};
        PipeBindRequest out{0x02};
        in_ = openWithRequest(path, UsbRequest::BindPipe, &in, sizeof in);
        out_ = openWithRequest(path, UsbRequest::BindPipe, &out, sizeof out);
    }
    ~PendingEnds() {
        for (HANDLE handle : {in_, out_, control_}) {
            if (handle != INVALID_HANDLE_VALUE) {
                CloseHandle(handle);
            }
        }
        driver::withdrawAll();
    }
    PendingEnds(const PendingEnds&) = delete;
    PendingEnds& operator=(const PendingEnds&) = delete;

    bool ready() const {
        return control_ != INVALID_HANDLE_VALUE && in_ != INVALID_HANDLE_VALUE &&
               out_ != INVALID_HANDLE_VALUE;
    }
    HANDLE readHandle() const { return in_; }
    HANDLE writeHandle() const { return out_; }

    void deliver(const Bytes& bytes) {
        std::lock_guard lock(driver::standInMutex());
        device_->queueReply(bytes);
    }

    Bytes received() {
        std::lock_guard lock(driver::standInMutex());
        Bytes all;
        for (const auto& write : device_->writes()) {
            all.insert(all.end(), write.begin(), write.end());
        }
        return all;
    }

private:
    // The device path of interface 0, as the USB classes find it.
    static std::string firstDevicePath() {
        HDEVINFO list = SetupDiGetClassDevsA(&UsbioInterfaceClass, nullptr, nullptr,
                                             DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        if (list == INVALID_HANDLE_VALUE) {
            return {};
        }
        std::string path;
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        DWORD required = 0;
        if (SetupDiEnumDeviceInterfaces(list, nullptr, &UsbioInterfaceClass, 0, &data)) {
            SetupDiGetDeviceInterfaceDetailA(list, &data, nullptr, 0, &required, nullptr);
        }
        if (required > sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
            std::vector<std::uint64_t> block((required + 7) / 8);
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            if (SetupDiGetDeviceInterfaceDetailA(list, &data, detail, required, nullptr, nullptr)) {
                path = detail->DevicePath;
            }
        }
        SetupDiDestroyDeviceInfoList(list);
        return path;
    }

    // A handle on the device path that has taken one control request.
    static HANDLE openWithRequest(const std::string& path, DWORD code, void* input,
                                  DWORD inputSize) {
        HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return handle;
        }
        Overlapped control;
        DWORD returned = 0;
        BOOL done =
            DeviceIoControl(handle, code, input, inputSize, nullptr, 0, &returned, &control.record);
        if (!done && GetLastError() == ERROR_IO_PENDING) {
            done = GetOverlappedResult(handle, &control.record, &returned, TRUE);
        }
        if (!done) {
            CloseHandle(handle);
            return INVALID_HANDLE_VALUE;
        }
        return handle;
    }

    std::shared_ptr<ScriptedDevice> device_;
    HANDLE control_ = INVALID_HANDLE_VALUE;
    HANDLE in_ = INVALID_HANDLE_VALUE;
    HANDLE out_ = INVALID_HANDLE_VALUE;
};

std::size_t openHandles() {
    const auto c = driver::counters();
    return c.filesOpen + c.eventsOpen + c.listsOpen;
}

// Nothing published, no real devices and no simulated instrument from the environment.
class NoDevices {
public:
    NoDevices() {
        if (const char* value = std::getenv("ZT40_SIMULATOR")) {
            saved_ = value;
            unsetEnvironment("ZT40_SIMULATOR");
        }
        driver::setRealDevicesEnabled(false);
        driver::withdrawAll();
    }
    ~NoDevices() {
        if (!saved_.empty()) {
            setEnvironment("ZT40_SIMULATOR", saved_.c_str());
        }
    }
    NoDevices(const NoDevices&) = delete;
    NoDevices& operator=(const NoDevices&) = delete;

private:
    std::string saved_;
};

// A device list holding one interface whose device refuses to be opened.
class OneInterface {
public:
    OneInterface() {
        ScriptedDevice::Config config;
        config.name = "os-calls-unopenable";
        config.openError = ERROR_FILE_NOT_FOUND;
        driver::publish(std::make_shared<ScriptedDevice>(config));
        list_ = SetupDiGetClassDevsA(&UsbioInterfaceClass, nullptr, nullptr,
                                     DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    }
    ~OneInterface() {
        if (list_ != INVALID_HANDLE_VALUE) {
            SetupDiDestroyDeviceInfoList(list_);
        }
        driver::withdrawAll();
    }
    OneInterface(const OneInterface&) = delete;
    OneInterface& operator=(const OneInterface&) = delete;

    bool ready() const { return list_ != INVALID_HANDLE_VALUE; }
    HDEVINFO list() const { return list_; }
    const GUID* interfaceClass() const { return &UsbioInterfaceClass; }

private:
    NoDevices noDevices_;
    HDEVINFO list_ = INVALID_HANDLE_VALUE;
};

#endif

// The record layouts the USB classes fill in for SetupAPI, in the build's own sizes.
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == (sizeof(void*) == 8 ? 32 : 28));
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == (sizeof(void*) == 8 ? 8 : 5));
static_assert(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) == 4);
static_assert(sizeof(DWORD) == 4 && sizeof(WORD) == 2 && sizeof(BYTE) == 1);
static_assert(sizeof(GUID) == 16);

constexpr DWORD Generous = 5000; // ms; a completion that is due arrives well within this

// --------------------------------------------------------------------------------------------

TEST(Events, UnnamedAutoResetEventStartsUnsignalledAndTimesOutAfterItsLimit) {
    Event event;
    ASSERT_NE(event.handle, nullptr);
    EXPECT_EQ(WaitForSingleObject(event.handle, 0), WAIT_TIMEOUT);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(event.handle, 120), WAIT_TIMEOUT);
    const auto waited = std::chrono::steady_clock::now() - start;
    // Windows may end a wait up to one timer tick (about 16 ms) early.
    EXPECT_GE(waited, std::chrono::milliseconds(100));
}

class PendingRead : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ends.ready()); }

    // Starts an 8-byte read that must stay pending.
    void startPendingRead() {
        buffer.fill(0xEE);
        count = 12345;
        ASSERT_FALSE(ReadFile(ends.readHandle(), buffer.data(), 8, &count, &read.record));
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    }

    PendingEnds ends;
    Overlapped read;
    std::array<std::uint8_t, 9> buffer{}; // the last byte guards against overruns
    DWORD count = 0;
};

TEST_F(PendingRead, StaysPendingAndIncompleteWhileNothingIsSent) {
    startPendingRead();
    EXPECT_EQ(WaitForSingleObject(read.event.handle, 50), WAIT_TIMEOUT);

    DWORD got = 777;
    SetLastError(0);
    EXPECT_FALSE(GetOverlappedResult(ends.readHandle(), &read.record, &got, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);

    // Cleaned up as TimedRead does after its limit.
    EXPECT_TRUE(CancelIo(ends.readHandle()));
    EXPECT_FALSE(GetOverlappedResult(ends.readHandle(), &read.record, &got, TRUE));
}

TEST_F(PendingRead, CompletionSignalsTheEventOnceAndCountsTheBytes) {
    startPendingRead();
    ends.deliver({1, 2, 3, 4, 5, 6, 7});

    ASSERT_EQ(WaitForSingleObject(read.event.handle, Generous), WAIT_OBJECT_0);
    // Auto-reset: the wait took the signal.
    EXPECT_EQ(WaitForSingleObject(read.event.handle, 0), WAIT_TIMEOUT);

    DWORD got = 0;
    ASSERT_TRUE(GetOverlappedResult(ends.readHandle(), &read.record, &got, FALSE));
    EXPECT_EQ(got, 7u);
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 9>{1, 2, 3, 4, 5, 6, 7, 0xEE, 0xEE}));
}

TEST_F(PendingRead, CancelIoEndsItWithOperationAbortedAndSignalsTheEvent) {
    startPendingRead();
    ASSERT_TRUE(CancelIo(ends.readHandle()));

    // A cancelled transfer always completes, so the await after a time-out returns.
    ASSERT_EQ(WaitForSingleObject(read.event.handle, Generous), WAIT_OBJECT_0);
    DWORD got = 777;
    SetLastError(0);
    EXPECT_FALSE(GetOverlappedResult(ends.readHandle(), &read.record, &got, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(buffer[0], 0xEE);

    // Bytes sent afterwards wait for the next read.
    ends.deliver({9, 8, 7, 6, 5, 4, 3, 2});
    Overlapped next;
    std::array<std::uint8_t, 8> again{};
    DWORD nextCount = 0;
    if (!ReadFile(ends.readHandle(), again.data(), 8, &nextCount, &next.record)) {
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    }
    ASSERT_TRUE(GetOverlappedResult(ends.readHandle(), &next.record, &nextCount, TRUE));
    EXPECT_EQ(nextCount, 8u);
    EXPECT_EQ(again, (std::array<std::uint8_t, 8>{9, 8, 7, 6, 5, 4, 3, 2}));
}

TEST_F(PendingRead, AwaitingACancelledReadReportsOperationAborted) {
    startPendingRead();
    ASSERT_TRUE(CancelIo(ends.readHandle()));
    DWORD got = 777;
    SetLastError(0);
    EXPECT_FALSE(GetOverlappedResult(ends.readHandle(), &read.record, &got, TRUE));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
    EXPECT_EQ(got, 0u);
}

TEST_F(PendingRead, CancelIoLeavesTheReadsOfOtherThreadsAlone) {
    std::promise<void> started;
    std::promise<void> cancelHere;
    DWORD submitError = 0;
    std::thread reader([&] {
        if (!ReadFile(ends.readHandle(), buffer.data(), 8, &count, &read.record)) {
            submitError = GetLastError();
        }
        started.set_value();
        cancelHere.get_future().wait();
        CancelIo(ends.readHandle());
    });
    started.get_future().wait();
    EXPECT_EQ(submitError, ERROR_IO_PENDING);

    // Cancelling from this thread does not reach the reader's transfer.
    EXPECT_TRUE(CancelIo(ends.readHandle()));
    EXPECT_EQ(WaitForSingleObject(read.event.handle, 100), WAIT_TIMEOUT);

    // The thread that started it can.
    cancelHere.set_value();
    reader.join();
    DWORD got = 0;
    SetLastError(0);
    EXPECT_FALSE(GetOverlappedResult(ends.readHandle(), &read.record, &got, TRUE));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
}

TEST_F(PendingRead, WriteCompletesSignallingItsEventAndCountsTheBytes) {
    Overlapped write;
    const std::array<std::uint8_t, 8> command{0xA5, 0x00, 0x03, 0x00, 0xF7, 0x11, 0x22, 0x33};
    DWORD written = 0;
    // At once or pending: the USB classes handle both, the event is signalled in both.
    if (!WriteFile(ends.writeHandle(), command.data(), 8, &written, &write.record)) {
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    }
    ASSERT_EQ(WaitForSingleObject(write.event.handle, Generous), WAIT_OBJECT_0);
    DWORD got = 0;
    ASSERT_TRUE(GetOverlappedResult(ends.writeHandle(), &write.record, &got, FALSE));
    EXPECT_EQ(got, 8u);
    EXPECT_EQ(ends.received(), Bytes(command.begin(), command.end()));
}

// --------------------------------------------------------------------------------------------
// The pipe object's timed transfers over the same handles, so that they run over each side's
// real overlapped calls. The handle stays the fixture's.

class PipeOnHandle : public CUsbIoPipe {
public:
    explicit PipeOnHandle(HANDLE handle) { FileHandle_ = handle; }
    ~PipeOnHandle() override { FileHandle_ = nullptr; }
    PipeOnHandle(const PipeOnHandle&) = delete;
    PipeOnHandle& operator=(const PipeOnHandle&) = delete;
};

class PipeTransfers : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ends.ready()); }

    PendingEnds ends;
    PipeOnHandle in{ends.readHandle()};
    PipeOnHandle out{ends.writeHandle()};
};

TEST_F(PipeTransfers, TimedReadTimesOutCancelsAndLeavesTheBufferAlone) {
    const std::size_t handlesBefore = openHandles();
    std::array<std::uint8_t, 8> frame{};
    frame.fill(0xEE);
    DWORD count = 8;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(in.TimedRead(frame.data(), count, 100), UsbStatus::Timeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(80));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(frame, (std::array<std::uint8_t, 8>{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(openHandles(), handlesBefore); // the transfer's event is closed again

    // The cancelled read took nothing: the next one gets the bytes sent afterwards.
    ends.deliver({0x55, 0x01, 0x31, 0x32, 0x2E, 0x35, 0x00, 0x00});
    count = 8;
    EXPECT_EQ(in.TimedRead(frame.data(), count, Generous), UsbStatus::Success);
    EXPECT_EQ(count, 8u);
    EXPECT_EQ(frame, (std::array<std::uint8_t, 8>{0x55, 0x01, 0x31, 0x32, 0x2E, 0x35, 0x00, 0x00}));
}

TEST_F(PipeTransfers, TimedReadOfAShortReplyReportsItsCount) {
    ends.deliver({1, 2, 3, 4, 5, 6, 7});
    std::array<std::uint8_t, 8> frame{};
    DWORD count = 8;
    EXPECT_EQ(in.TimedRead(frame.data(), count, Generous), UsbStatus::Success);
    EXPECT_EQ(count, 7u);
}

TEST_F(PipeTransfers, TimedWriteSendsTheFrame) {
    const std::array<std::uint8_t, 8> command{0x55, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00};
    DWORD count = 8;
    EXPECT_EQ(out.TimedWrite(command.data(), count, Generous), UsbStatus::Success);
    EXPECT_EQ(count, 8u);
    EXPECT_EQ(ends.received(), Bytes(command.begin(), command.end()));
}

TEST(ClosedPipe, TransfersFailAtSubmissionWithInvalidHandle) {
    CUsbIoPipe pipe;
    std::array<std::uint8_t, 8> frame{};
    DWORD count = 8;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(pipe.TimedWrite(frame.data(), count, InstrumentLink::TimeLimitMs),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(count, 0u);
    count = 8;
    EXPECT_EQ(pipe.TimedRead(frame.data(), count, InstrumentLink::TimeLimitMs),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(count, 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

// --------------------------------------------------------------------------------------------

TEST(LastError, IsKeptPerThread) {
    // The threads meet through atomics only: any system call in between may change the value.
    std::atomic<int> step{0};
    DWORD seenByOther = 0;
    std::thread other([&] {
        while (step.load() != 1) {
        }
        SetLastError(ERROR_IO_PENDING);
        step = 2;
        while (step.load() != 3) {
        }
        seenByOther = GetLastError();
    });
    SetLastError(1234);
    step = 1;
    while (step.load() != 2) {
    }
    const DWORD seenHere = GetLastError();
    step = 3;
    other.join();
    EXPECT_EQ(seenHere, 1234u);
    EXPECT_EQ(seenByOther, ERROR_IO_PENDING);
}

// A closed object's handle is null: its transfers and requests fail at submission.
TEST(LastError, CallsOnANullHandleFailWithInvalidHandle) {
    Overlapped overlapped;
    std::array<std::uint8_t, 8> buffer{};
    DWORD count = 0;

    SetLastError(0);
    EXPECT_FALSE(ReadFile(nullptr, buffer.data(), 8, &count, &overlapped.record));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    SetLastError(0);
    EXPECT_FALSE(WriteFile(nullptr, buffer.data(), 8, &count, &overlapped.record));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    SetLastError(0);
    DriverVersionReply reply{};
    EXPECT_FALSE(DeviceIoControl(nullptr, UsbRequest::GetDriverInfo, nullptr, 0, &reply,
                                 sizeof reply, &count, &overlapped.record));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    SetLastError(0);
    EXPECT_FALSE(CancelIo(nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(LastError, OpeningAPathThatDoesNotExistGivesInvalidHandleValue) {
#ifdef _WIN32
    const std::string path = "\\\\.\\zt40-no-such-device";
#else
    const std::string path = driver::devicePathFor("zt40-no-such-device");
#endif
    SetLastError(0);
    HANDLE handle =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    EXPECT_EQ(handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

// --------------------------------------------------------------------------------------------

TEST(CriticalSection, IsRecursiveAndKeepsOtherThreadsOut) {
    CRITICAL_SECTION lock;
    InitializeCriticalSection(&lock);
    EnterCriticalSection(&lock);
    EnterCriticalSection(&lock); // the owner may enter again
    LeaveCriticalSection(&lock);

    std::atomic<bool> entered{false};
    std::thread other([&] {
        EnterCriticalSection(&lock);
        entered = true;
        LeaveCriticalSection(&lock);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered.load()); // still held once by this thread
    LeaveCriticalSection(&lock);
    other.join();
    EXPECT_TRUE(entered.load());
    DeleteCriticalSection(&lock);
}

// --------------------------------------------------------------------------------------------

class EmptyClass : public ::testing::Test {
protected:
    NoDevices noDevices;
};

TEST_F(EmptyClass, SetupApiGivesAListWithNoInterfaces) {
    HDEVINFO list = SetupDiGetClassDevsA(&UsbioInterfaceClass, nullptr, nullptr,
                                         DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(list, INVALID_HANDLE_VALUE);
    EXPECT_EQ(DWORD{DIGCF_PRESENT | DIGCF_DEVICEINTERFACE}, 0x12u);

    for (DWORD instance : {0u, 1u, 126u}) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        SetLastError(0);
        EXPECT_FALSE(
            SetupDiEnumDeviceInterfaces(list, nullptr, &UsbioInterfaceClass, instance, &data))
            << "instance " << instance;
        EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS) << "instance " << instance;
    }
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(list));
}

TEST_F(EmptyClass, OpenOfInstanceZeroFindsNoSuchInstanceAndStaysClosed) {
    const std::size_t handlesBefore = openHandles();
    {
        Event event; // the count below sees the handles this process holds
        EXPECT_EQ(openHandles(), handlesBefore + 1);
    }
    HDEVINFO list = GetDeviceList(&UsbioInterfaceClass);
    ASSERT_NE(list, nullptr);
    {
        CUsbIo device;
        EXPECT_EQ(device.Open(0, list, &UsbioInterfaceClass), UsbStatus::NoSuchInstance);
        EXPECT_FALSE(device.IsOpen());
        EXPECT_EQ(device.ControlEvent(), nullptr);
        EXPECT_FALSE(device.HoldsDetailBlock());
        DriverVersionReply reply{};
        EXPECT_EQ(device.QueryDriverVersion(reply), UsbStatus::NotOpen);
    }
    ReleaseDeviceList(list);
    EXPECT_EQ(openHandles(), handlesBefore);
}

TEST_F(EmptyClass, InstrumentLinkOpenAnswersFalseWithAllThreeMembersClosed) {
    const std::size_t handlesBefore = openHandles();
    {
        InstrumentLink link;
        for (int attempt = 0; attempt < 2; ++attempt) {
            EXPECT_FALSE(link.Open()) << "attempt " << attempt;
            for (const CUsbIo* member : {&link.device(), static_cast<const CUsbIo*>(&link.inPipe()),
                                         static_cast<const CUsbIo*>(&link.outPipe())}) {
                EXPECT_FALSE(member->IsOpen());
                EXPECT_EQ(member->ControlEvent(), nullptr);
                EXPECT_FALSE(member->HoldsDetailBlock());
            }
        }
        // A closed channel fails its exchange at once, at submission of the write.
        InstrumentFrame frame{0x5A, 0, 0, 0, 0, 0, 0, 0};
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(link.Exchange(frame));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
        EXPECT_TRUE(link.Close());
    }
    EXPECT_EQ(openHandles(), handlesBefore);
}

// --------------------------------------------------------------------------------------------

class DetailData : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(one.ready());
        data.cbSize = sizeof data;
        ASSERT_TRUE(
            SetupDiEnumDeviceInterfaces(one.list(), nullptr, one.interfaceClass(), 0, &data));
        SP_DEVICE_INTERFACE_DATA next{};
        next.cbSize = sizeof next;
        SetLastError(0);
        EXPECT_FALSE(
            SetupDiEnumDeviceInterfaces(one.list(), nullptr, one.interfaceClass(), 1, &next));
        EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
    }

    OneInterface one;
    SP_DEVICE_INTERFACE_DATA data{};
};

TEST_F(DetailData, SizeQueryThenTheBuildsFixedSizeInTheSizeField) {
    DWORD required = 0;
    SetLastError(0);
    EXPECT_FALSE(
        SetupDiGetDeviceInterfaceDetailA(one.list(), &data, nullptr, 0, &required, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    ASSERT_GT(required, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));

    std::vector<std::uint64_t> storage(required / 8 + 1);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());

    // Any other value in the size field is refused, whatever the buffer.
    for (DWORD wrong : {DWORD{5}, DWORD{6}, DWORD{8}, DWORD{12}}) {
        if (wrong == sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
            continue;
        }
        detail->cbSize = wrong;
        SetLastError(0);
        EXPECT_FALSE(
            SetupDiGetDeviceInterfaceDetailA(one.list(), &data, detail, required, nullptr, nullptr))
            << "size field " << wrong;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_USER_BUFFER) << "size field " << wrong;
    }

    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    SetLastError(0);
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(one.list(), &data, detail, required - 1, nullptr,
                                                  nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

    ASSERT_TRUE(
        SetupDiGetDeviceInterfaceDetailA(one.list(), &data, detail, required, nullptr, nullptr));
    // The device path is a zero-terminated ANSI string filling the rest of the block.
    const std::string path = detail->DevicePath;
    EXPECT_EQ(required, offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
    EXPECT_EQ(path.rfind("\\\\?\\", 0), 0u) << path;
}

TEST_F(DetailData, OpenThatCannotOpenThePathStaysClosedButKeepsTheDetailBlock) {
    const std::size_t handlesBefore = openHandles();
    {
        CUsbIo device;
        EXPECT_EQ(device.Open(0, one.list(), one.interfaceClass()), UsbStatus::OpenFailed);
        EXPECT_FALSE(device.IsOpen());
        EXPECT_EQ(device.ControlEvent(), nullptr);
        EXPECT_TRUE(device.HoldsDetailBlock());
        EXPECT_EQ(device.DevicePath().rfind("\\\\?\\", 0), 0u) << device.DevicePath();

        // The next Open lets the old block go before it looks for its instance.
        EXPECT_EQ(device.Open(1, one.list(), one.interfaceClass()), UsbStatus::NoSuchInstance);
        EXPECT_FALSE(device.HoldsDetailBlock());

        EXPECT_EQ(device.Open(0, one.list(), one.interfaceClass()), UsbStatus::OpenFailed);
        device.Close();
        EXPECT_FALSE(device.HoldsDetailBlock());
        EXPECT_EQ(device.Open(0, one.list(), nullptr), UsbStatus::InvalidParameter);
    }
    EXPECT_EQ(openHandles(), handlesBefore);
}

} // namespace
} // namespace zt40::test
