// The driver stand-in at the level of the system calls: device list snapshots, the driver's
// request checks, binding rules, waits on the test clock, and closing under pending transfers.
#include "DriverStandIn.h"
#include "ManualClock.h"
#include "ScriptedDevice.h"
#include "SimulatedDevice.h"
#include "SimulatedInstrument.h"
#include "StandInCallLog.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace zt40::test {
namespace {

using namespace driver;

constexpr GUID Class = {
    0x325DDF96, 0x938C, 0x11D3, {0x9E, 0x34, 0x00, 0x80, 0xC8, 0x27, 0x27, 0xF4}};
constexpr GUID OtherClass = {
    0x325DDF96, 0x938C, 0x11D3, {0x9E, 0x34, 0x00, 0x80, 0xC8, 0x27, 0x27, 0xF5}};
constexpr DWORD DriverInfo = 0x8094206C;
constexpr DWORD Descriptor = 0x80942006;
constexpr DWORD Configuration = 0x80942024;
constexpr DWORD BindPipe = 0x80942078;

class StandIn : public ::testing::Test {
protected:
    void SetUp() override {
        unsetEnvironment("ZT40_SIMULATOR");
        withdrawAll();
        setRealDevicesEnabled(false);
        start = counters();
    }
    void TearDown() override {
        for (HANDLE h : handles) {
            driver::CloseHandle(h);
        }
        withdrawAll();
        const auto end = counters();
        EXPECT_EQ(end.filesOpen, start.filesOpen);
        EXPECT_EQ(end.eventsOpen, start.eventsOpen);
        EXPECT_EQ(end.listsOpen, start.listsOpen);
    }

    std::shared_ptr<ScriptedDevice> add(std::string name, DWORD openError = 0) {
        ScriptedDevice::Config c;
        c.name = std::move(name);
        c.openError = openError;
        auto d = std::make_shared<ScriptedDevice>(c);
        publish(d);
        return d;
    }
    // The device paths of a fresh list, in order.
    static std::vector<std::string> listed() {
        std::vector<std::string> paths;
        HDEVINFO list = driver::SetupDiGetClassDevsA(&Class, nullptr, nullptr, 0x12);
        for (DWORD i = 0;; ++i) {
            SP_DEVICE_INTERFACE_DATA data{};
            data.cbSize = sizeof data;
            if (!driver::SetupDiEnumDeviceInterfaces(list, nullptr, &Class, i, &data)) {
                EXPECT_EQ(driver::GetLastError(), ERROR_NO_MORE_ITEMS);
                break;
            }
            DWORD required = 0;
            driver::SetupDiGetDeviceInterfaceDetailA(list, &data, nullptr, 0, &required, nullptr);
            std::vector<std::uint8_t> block(required);
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            EXPECT_TRUE(
                driver::SetupDiGetDeviceInterfaceDetailA(list, &data, detail, required, nullptr, nullptr));
            paths.emplace_back(detail->DevicePath);
        }
        driver::SetupDiDestroyDeviceInfoList(list);
        return paths;
    }
    HANDLE open(const std::string& name) {
        HANDLE h = driver::CreateFileA(devicePathFor(name).c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            handles.push_back(h);
        }
        return h;
    }
    HANDLE event() {
        HANDLE e = driver::CreateEventA(nullptr, FALSE, FALSE, nullptr);
        handles.push_back(e);
        return e;
    }
    static DWORD control(HANDLE h, DWORD code, const void* in, DWORD inSize, void* out,
                         DWORD outSize, DWORD* returned = nullptr) {
        DWORD count = 0;
        const BOOL ok = driver::DeviceIoControl(h, code, const_cast<void*>(in), inSize, out, outSize,
                                        returned != nullptr ? returned : &count, nullptr);
        return ok ? 0 : driver::GetLastError();
    }
    static DWORD configure(HANDLE h) {
        std::uint8_t request[260] = {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08};
        return control(h, Configuration, request, sizeof request, nullptr, 0);
    }
    static DWORD bind(HANDLE h, std::uint8_t endpoint) {
        return control(h, BindPipe, &endpoint, 1, nullptr, 0);
    }

    ManualClock clock{0};
    ScopedClock useClock{clock};
    Counters start;
    std::vector<HANDLE> handles;
};

TEST_F(StandIn, DeviceListIsASnapshotInPublicationOrder) {
    add("a");
    auto b = add("b");
    HDEVINFO list = driver::SetupDiGetClassDevsA(&Class, nullptr, nullptr, 0x12);
    add("c");    // after the snapshot
    b->unplug(); // also after it
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    EXPECT_TRUE(driver::SetupDiEnumDeviceInterfaces(list, nullptr, &Class, 1, &data));
    EXPECT_FALSE(driver::SetupDiEnumDeviceInterfaces(list, nullptr, &Class, 2, &data));
    EXPECT_EQ(driver::GetLastError(), ERROR_NO_MORE_ITEMS);
    // Another class has no interfaces in this list.
    EXPECT_FALSE(driver::SetupDiEnumDeviceInterfaces(list, nullptr, &OtherClass, 0, &data));
    EXPECT_EQ(driver::GetLastError(), ERROR_NO_MORE_ITEMS);
    driver::SetupDiDestroyDeviceInfoList(list);
    EXPECT_EQ(listed(), (std::vector<std::string>{devicePathFor("a"), devicePathFor("c")}));
}

TEST_F(StandIn, EnvironmentSimulatorComesFirst) {
    add("scripted");
    setEnvironment("ZT40_SIMULATOR", "1");
    const auto paths = listed();
    unsetEnvironment("ZT40_SIMULATOR");
    EXPECT_EQ(paths, (std::vector<std::string>{devicePathFor("zt40-simulator"),
                                               devicePathFor("scripted")}));
    ASSERT_NE(environmentSimulator(), nullptr);
    setEnvironment("ZT40_SIMULATOR", "0");
    EXPECT_EQ(listed(), std::vector<std::string>{devicePathFor("scripted")});
    unsetEnvironment("ZT40_SIMULATOR");
}

TEST_F(StandIn, DetailRequestsAreCheckedLikeSetupApi) {
    add("dev");
    HDEVINFO list = driver::SetupDiGetClassDevsA(&Class, nullptr, nullptr, 0x12);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = 28; // a 32-bit build's size is not this build's
    EXPECT_FALSE(driver::SetupDiEnumDeviceInterfaces(list, nullptr, &Class, 0, &data));
    EXPECT_EQ(driver::GetLastError(), ERROR_INVALID_USER_BUFFER);
    data.cbSize = sizeof data;
    ASSERT_TRUE(driver::SetupDiEnumDeviceInterfaces(list, nullptr, &Class, 0, &data));
    DWORD required = 0;
    EXPECT_FALSE(driver::SetupDiGetDeviceInterfaceDetailA(list, &data, nullptr, 0, &required, nullptr));
    EXPECT_EQ(driver::GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(required, offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) +
                            devicePathFor("dev").size() + 1);
    std::vector<std::uint8_t> block(required);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
    detail->cbSize = 5; // the 32-bit fixed size
    EXPECT_FALSE(driver::SetupDiGetDeviceInterfaceDetailA(list, &data, detail, required, nullptr, nullptr));
    EXPECT_EQ(driver::GetLastError(), ERROR_INVALID_USER_BUFFER);
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    EXPECT_FALSE(
        driver::SetupDiGetDeviceInterfaceDetailA(list, &data, detail, required - 1, nullptr, nullptr));
    EXPECT_EQ(driver::GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_TRUE(driver::SetupDiGetDeviceInterfaceDetailA(list, &data, detail, required, nullptr, nullptr));
    EXPECT_STREQ(detail->DevicePath, devicePathFor("dev").c_str());
    EXPECT_TRUE(driver::SetupDiDestroyDeviceInfoList(list));
    EXPECT_FALSE(driver::SetupDiDestroyDeviceInfoList(list));
    EXPECT_EQ(driver::GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(StandIn, DeviceRefusingToOpenHidesNoOtherDevice) {
    add("refuses", ERROR_ACCESS_DENIED);
    add("fine");
    EXPECT_EQ(listed().size(), 2u);
    EXPECT_EQ(open("refuses"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(driver::GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_NE(open("fine"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(open("never-listed"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(driver::GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(StandIn, RequestsWithOtherSizesOrCodesAreRefused) {
    add("dev");
    listed();
    HANDLE h = open("dev");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::uint8_t buffer[300] = {};
    DWORD returned = 99;
    EXPECT_EQ(control(h, DriverInfo, nullptr, 0, buffer, 12, &returned), 0u);
    EXPECT_EQ(returned, 12u);
    EXPECT_EQ(buffer[0], 0x41);
    EXPECT_EQ(buffer[1], 0x01);
    EXPECT_EQ(control(h, DriverInfo, nullptr, 0, buffer, 11), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(control(h, DriverInfo, buffer, 1, buffer, 12), ERROR_INVALID_PARAMETER);
    const std::uint8_t request[8] = {0, 0, 0, 0, 1, 0, 0, 0};
    EXPECT_EQ(control(h, Descriptor, request, 7, buffer, 18), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(control(h, Descriptor, request, 8, buffer, 18, &returned), 0u);
    EXPECT_EQ(returned, 18u);
    // A smaller buffer gets the start of the descriptor.
    EXPECT_EQ(control(h, Descriptor, request, 8, buffer, 8, &returned), 0u);
    EXPECT_EQ(returned, 8u);
    EXPECT_EQ(control(h, Configuration, buffer, 259, nullptr, 0), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(control(h, Configuration, buffer, 261, nullptr, 0), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(control(h, 0x80942000, nullptr, 0, nullptr, 0), ERROR_INVALID_FUNCTION);
    EXPECT_EQ(control(nullptr, DriverInfo, nullptr, 0, buffer, 12), ERROR_INVALID_HANDLE);
}

TEST_F(StandIn, PipesBindOnceEachAfterConfiguration) {
    add("dev");
    listed();
    HANDLE device = open("dev");
    HANDLE in = open("dev");
    HANDLE again = open("dev");
    EXPECT_EQ(bind(in, 0x81), ERROR_NOT_READY);
    ASSERT_EQ(configure(device), 0u);
    EXPECT_EQ(bind(in, 0x81), 0u);
    EXPECT_EQ(bind(in, 0x02), ERROR_BUSY);    // one endpoint per handle
    EXPECT_EQ(bind(again, 0x81), ERROR_BUSY); // one handle per endpoint
    EXPECT_EQ(bind(again, 0x05), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(bind(again, 0x02), 0u);
}

TEST_F(StandIn, ClosingTheLastHandleUnconfiguresTheDevice) {
    add("dev");
    listed();
    HANDLE device = driver::CreateFileA(devicePathFor("dev").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_EQ(configure(device), 0u);
    driver::CloseHandle(device);
    HANDLE pipe = open("dev");
    EXPECT_EQ(bind(pipe, 0x81), ERROR_NOT_READY);
    EXPECT_FALSE(driver::CloseHandle(device));
    EXPECT_EQ(driver::GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(StandIn, WaitsLetTheTestClockRunToTheLimitOrTheNextCompletion) {
    HANDLE e = event();
    EXPECT_EQ(driver::WaitForSingleObject(e, 1234), WAIT_TIMEOUT);
    EXPECT_EQ(clock.nowMs(), 1234u);
    // Nothing can ever signal it: an endless wait is reported instead of hanging.
    EXPECT_EQ(driver::WaitForSingleObject(e, INFINITE), WAIT_FAILED);
    EXPECT_EQ(driver::GetLastError(), ERROR_POSSIBLE_DEADLOCK);
    EXPECT_EQ(driver::WaitForSingleObject(nullptr, 10), WAIT_FAILED);
    EXPECT_EQ(driver::GetLastError(), ERROR_INVALID_HANDLE);

    auto dev = add("dev");
    listed();
    HANDLE device = open("dev");
    HANDLE in = open("dev");
    ASSERT_EQ(configure(device), 0u);
    ASSERT_EQ(bind(in, 0x81), 0u);
    dev->queueReply({1, 2, 3});
    dev->scriptRead({ScriptedDevice::Action::Delay, 0, 0, 700});
    std::uint8_t data[8] = {};
    OVERLAPPED ov{};
    ov.hEvent = e;
    EXPECT_FALSE(driver::ReadFile(in, data, 8, nullptr, &ov));
    EXPECT_EQ(driver::GetLastError(), ERROR_IO_PENDING);
    DWORD n = 0;
    EXPECT_FALSE(driver::GetOverlappedResult(in, &ov, &n, FALSE));
    EXPECT_EQ(driver::GetLastError(), ERROR_IO_INCOMPLETE);
    EXPECT_EQ(driver::WaitForSingleObject(e, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(clock.nowMs(), 1934u);
    EXPECT_TRUE(driver::GetOverlappedResult(in, &ov, &n, FALSE));
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(data[2], 3);
    // Auto-reset: the wait consumed the signal.
    EXPECT_EQ(driver::WaitForSingleObject(e, 0), WAIT_TIMEOUT);
}

TEST_F(StandIn, ClosingAHandleUnderAPendingReadLeavesTheCallersMemoryAlone) {
    auto dev = add("dev");
    listed();
    HANDLE device = open("dev");
    HANDLE in = driver::CreateFileA(devicePathFor("dev").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_EQ(configure(device), 0u);
    ASSERT_EQ(bind(in, 0x81), 0u);
    HANDLE e = event();
    auto data = std::make_unique<std::uint8_t[]>(8);
    auto ov = std::make_unique<OVERLAPPED>();
    ov->hEvent = e;
    EXPECT_FALSE(driver::ReadFile(in, data.get(), 8, nullptr, ov.get()));
    EXPECT_EQ(counters().transfersPending, 1u);
    EXPECT_TRUE(driver::CloseHandle(in));
    EXPECT_EQ(counters().transfersPending, 0u);
    EXPECT_EQ(dev->cancellations(), 1);
    ov.reset();
    data.reset();
    // A reply arriving now has nobody to go to and touches nothing (AddressSanitizer watches).
    dev->queueReply({9, 9, 9, 9, 9, 9, 9, 9});
    EXPECT_EQ(driver::WaitForSingleObject(e, 0), WAIT_TIMEOUT);
}

TEST_F(StandIn, SimulatedDeviceAnswersTheInstrumentsCommands) {
    auto instrument = std::make_shared<simulator::SimulatedInstrument>();
    publish(std::make_shared<SimulatedDevice>(instrument, "sim"));
    listed();
    HANDLE device = open("sim");
    HANDLE in = open("sim");
    HANDLE out = open("sim");
    ASSERT_EQ(configure(device), 0u);
    ASSERT_EQ(bind(in, 0x81), 0u);
    ASSERT_EQ(bind(out, 0x02), 0u);
    std::uint8_t descriptor[18] = {};
    const std::uint8_t request[8] = {0, 0, 0, 0, 1, 0, 0, 0};
    ASSERT_EQ(control(device, Descriptor, request, 8, descriptor, 18), 0u);
    EXPECT_EQ(descriptor[8] | descriptor[9] << 8, 0x0C70);
    EXPECT_EQ(descriptor[10] | descriptor[11] << 8, 0x074C);

    HANDLE e = event();
    std::uint8_t frame[8] = {0x5A, 0, 0, 0, 0, 0, 0, 0};
    OVERLAPPED ov{};
    ov.hEvent = e;
    DWORD n = 0;
    driver::WriteFile(out, frame, 8, nullptr, &ov);
    EXPECT_TRUE(driver::GetOverlappedResult(out, &ov, &n, TRUE));
    EXPECT_EQ(n, 8u);
    driver::ReadFile(in, frame, 8, nullptr, &ov);
    EXPECT_TRUE(driver::GetOverlappedResult(in, &ov, &n, TRUE));
    EXPECT_EQ(std::vector<std::uint8_t>(frame, frame + 8),
              (std::vector<std::uint8_t>{0x5A, 0x02, 0x15, 0, 0, 0, 0, 0}));
    // Unplugged: gone from lists, and its handles fail at once.
    instrument->unplug();
    EXPECT_TRUE(listed().empty());
    EXPECT_FALSE(driver::WriteFile(out, frame, 8, nullptr, &ov));
    EXPECT_EQ(driver::GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
}

TEST_F(StandIn, RealDevicesWithoutAMatchAddNothing) {
    setRealDevicesEnabled(true);
    setServedIds({{0xFFFF, 0xFFFE}});
    add("dev");
    EXPECT_EQ(listed(), std::vector<std::string>{devicePathFor("dev")});
    setServedIds({{0x0C70, 0x074C}});
    setRealDevicesEnabled(false);
}

} // namespace
} // namespace zt40::test
