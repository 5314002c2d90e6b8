// The device object against the driver stand-in: opening, closing, and the exact requests.
#include "CUsbIo.h"
#include "CUsbIoPipe.h"
#include "InstrumentLink.h"
#include "StandInFixture.h"

#include <gtest/gtest.h>

namespace zt40::test {
namespace {

class CUsbIoTest : public StandInTest {
protected:
    HDEVINFO list() {
        HDEVINFO l = GetDeviceList(&UsbioInterfaceClass);
        lists.push_back(l);
        return l;
    }
    void TearDown() override {
        for (HDEVINFO l : lists) {
            ReleaseDeviceList(l);
        }
        StandInTest::TearDown();
    }
    std::vector<HDEVINFO> lists;
};

TEST_F(CUsbIoTest, OpenOnAnOpenObjectKeepsItsHandleWhateverTheInstance) {
    add(named("first"));
    add(named("second"));
    CUsbIo io;
    ASSERT_EQ(io.Open(0, list(), &UsbioInterfaceClass), 0u);
    const HANDLE handle = io.FileHandle();
    EXPECT_EQ(io.Open(1, list(), &UsbioInterfaceClass), 0u);
    EXPECT_EQ(io.Open(5, list(), &UsbioInterfaceClass), 0u);
    EXPECT_EQ(io.FileHandle(), handle);
    EXPECT_EQ(io.DevicePath(), driver::devicePathFor("first"));
    EXPECT_EQ(entries(DeviceCall::Kind::Open).size(), 1u);
}

TEST_F(CUsbIoTest, OpenFailuresLeaveTheObjectClosed) {
    add();
    CUsbIo io;
    EXPECT_EQ(io.Open(1, list(), &UsbioInterfaceClass), UsbStatus::NoSuchInstance);
    EXPECT_FALSE(io.IsOpen());
    EXPECT_FALSE(io.HoldsDetailBlock());
    EXPECT_EQ(io.Open(0, list(), nullptr), UsbStatus::InvalidParameter);
    EXPECT_FALSE(io.IsOpen());
    // A list that is not one: the system's error comes back unchanged.
    EXPECT_EQ(io.Open(0, nullptr, &UsbioInterfaceClass), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(io.IsOpen());
    expectNoHandlesOrEvents();
}

TEST_F(CUsbIoTest, DriverVersionOtherThan0141IsRefusedAndEverythingReleased) {
    for (const std::uint16_t version : {std::uint16_t{0x0140}, std::uint16_t{0x0142}}) {
        driver::withdrawAll();
        auto c = named("v" + std::to_string(version));
        c.interfaceVersion = version;
        add(c);
        CUsbIo io;
        EXPECT_EQ(io.Open(0, list(), &UsbioInterfaceClass), UsbStatus::VersionMismatch);
        EXPECT_FALSE(io.IsOpen());
        EXPECT_EQ(io.ControlEvent(), nullptr);
        EXPECT_FALSE(io.HoldsDetailBlock());
    }
    const auto now = driver::counters();
    EXPECT_EQ(now.filesOpen, before.filesOpen);
    EXPECT_EQ(now.eventsOpen, before.eventsOpen);
    // Handle, event, version query, then the handle closed again: twice.
    EXPECT_EQ(wire(),
              (std::vector<std::string>{"open:v320", "control:8094206c:v320", "close:v320",
                                        "open:v322", "control:8094206c:v322", "close:v322"}));
}

TEST_F(CUsbIoTest, OpenHoldsHandleEventAndDevicePathUntilClosedAndClosingTwiceIsHarmless) {
    add(named("dev"));
    CUsbIo io;
    ASSERT_EQ(io.Open(0, list(), &UsbioInterfaceClass), 0u);
    EXPECT_TRUE(io.IsOpen());
    EXPECT_NE(io.ControlEvent(), nullptr);
    EXPECT_EQ(io.DevicePath(), driver::devicePathFor("dev"));
    EXPECT_EQ(driver::counters().filesOpen, before.filesOpen + 1);
    EXPECT_EQ(driver::counters().eventsOpen, before.eventsOpen + 1);
    io.Close();
    EXPECT_FALSE(io.IsOpen());
    EXPECT_EQ(io.ControlEvent(), nullptr);
    EXPECT_FALSE(io.HoldsDetailBlock());
    io.Close();
    EXPECT_FALSE(io.IsOpen());
    expectNoHandlesOrEvents();
}

TEST_F(CUsbIoTest, ControlEventThatCannotBeMadeClosesTheHandleAgain) {
    add(named("dev"));
    failEventCreation(1);
    CUsbIo io;
    EXPECT_EQ(io.Open(0, list(), &UsbioInterfaceClass), UsbStatus::OutOfResources);
    EXPECT_FALSE(io.IsOpen());
    EXPECT_FALSE(io.HoldsDetailBlock());
    EXPECT_EQ(wire(), (std::vector<std::string>{"open:dev", "close:dev"}));
    EXPECT_EQ(io.Open(0, list(), &UsbioInterfaceClass), 0u);
}

TEST_F(CUsbIoTest, PathThatCannotBeOpenedKeepsTheDetailBlockUntilClose) {
    auto c = named("locked");
    c.openError = ERROR_ACCESS_DENIED;
    add(c);
    auto gone = add(named("gone"));
    HDEVINFO l = list();
    gone->unplug(); // after the list was taken
    CUsbIo io;
    EXPECT_EQ(io.Open(0, l, &UsbioInterfaceClass), UsbStatus::OpenFailed);
    EXPECT_FALSE(io.IsOpen());
    EXPECT_TRUE(io.HoldsDetailBlock());
    EXPECT_EQ(io.DevicePath(), driver::devicePathFor("locked"));
    CUsbIo other;
    EXPECT_EQ(other.Open(1, l, &UsbioInterfaceClass), UsbStatus::OpenFailed);
    io.Close();
    EXPECT_FALSE(io.HoldsDetailBlock());
    EXPECT_EQ(driver::counters().filesOpen, before.filesOpen);
}

TEST_F(CUsbIoTest, ControlRequestOnAClosedObjectLeavesTheCountUntouched) {
    CUsbIo io;
    DWORD count = 0xDEADBEEF;
    std::uint8_t buffer[18] = {};
    EXPECT_EQ(io.ControlRequest(UsbRequest::GetDescriptor, buffer, 8, buffer, 18, &count),
              UsbStatus::NotOpen);
    EXPECT_EQ(count, 0xDEADBEEFu);
    DWORD size = 18;
    EXPECT_EQ(io.ReadDescriptor(buffer, size, 0, 1, 0, 0), UsbStatus::NotOpen);
    EXPECT_EQ(size, 18u);
    DeviceDescriptor d{};
    EXPECT_EQ(io.ReadDeviceDescriptor(d), UsbStatus::NotOpen);
    ConfigurationRequest config{};
    EXPECT_EQ(io.Configure(config), UsbStatus::NotOpen);
    DriverVersionReply reply{};
    EXPECT_EQ(io.QueryDriverVersion(reply), UsbStatus::NotOpen);
    EXPECT_TRUE(callLog().empty());
}

TEST_F(CUsbIoTest, RequestsCarryTheirExactBytes) {
    auto c = named("dev");
    c.vendorId = 0x1234;
    c.productId = 0xABCD;
    add(c);
    CUsbIo io;
    ASSERT_EQ(io.Open(0, list(), &UsbioInterfaceClass), 0u);
    DriverVersionReply reply{};
    EXPECT_EQ(io.QueryDriverVersion(reply), 0u);
    EXPECT_EQ(reply.interfaceVersion, 0x0141);

    DeviceDescriptor d{};
    EXPECT_EQ(io.ReadDeviceDescriptor(d), 0u);
    EXPECT_EQ(d[0], 18);
    EXPECT_EQ(d[1], 1);
    EXPECT_EQ(d[8], 0x34);
    EXPECT_EQ(d[9], 0x12);
    EXPECT_EQ(d[10], 0xCD);
    EXPECT_EQ(d[11], 0xAB);

    ConfigurationRequest config{};
    config.interfaceCount = 1;
    config.settings[0] = {0, 0, 8};
    EXPECT_EQ(io.Configure(config), 0u);

    const auto controls = entries(DeviceCall::Kind::Control);
    ASSERT_EQ(controls.size(), 4u); // the query of Open and the three above
    EXPECT_EQ(controls[0].code, 0x8094206Cu);
    EXPECT_TRUE(controls[0].bytes.empty());
    EXPECT_EQ(controls[0].size, 12u);
    EXPECT_EQ(controls[2].code, 0x80942006u);
    EXPECT_EQ(controls[2].bytes, (Bytes{0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}));
    EXPECT_EQ(controls[2].size, 18u);
    EXPECT_EQ(controls[3].code, 0x80942024u);
    ASSERT_EQ(controls[3].bytes.size(), 260u);
    EXPECT_EQ(Bytes(controls[3].bytes.begin(), controls[3].bytes.begin() + 12),
              (Bytes{0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00}));
    EXPECT_EQ(controls[3].size, 0u);
}

TEST_F(CUsbIoTest, ConfigurationRequestIsAlways260Bytes) {
    add();
    CUsbIo io;
    ASSERT_EQ(io.Open(0, list(), &UsbioInterfaceClass), 0u);
    ConfigurationRequest none{};
    ConfigurationRequest all{};
    all.interfaceCount = MaxInterfaceSettings;
    // No entries at all is refused; either way the whole record goes out.
    EXPECT_EQ(io.Configure(none), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    io.Configure(all);
    const auto controls = entries(DeviceCall::Kind::Control);
    ASSERT_EQ(controls.size(), 3u);
    EXPECT_EQ(controls[1].bytes.size(), 260u);
    EXPECT_EQ(controls[2].bytes.size(), 260u);
    EXPECT_EQ(controls[2].bytes[2], 32);
}

TEST_F(CUsbIoTest, ReturnedCountIsStoredAlsoOnFailure) {
    auto c = named("stalls");
    c.descriptorError = ERROR_GEN_FAILURE;
    add(c);
    CUsbIo io;
    ASSERT_EQ(io.Open(0, list(), &UsbioInterfaceClass), 0u);
    std::uint8_t buffer[18] = {};
    DWORD size = 18;
    EXPECT_EQ(io.ReadDescriptor(buffer, size, 0, 1, 0, 0), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_EQ(size, 0u);
    // An unknown request: the driver's refusal comes back as it is.
    DWORD count = 77;
    EXPECT_EQ(io.ControlRequest(0x80942FFC, nullptr, 0, nullptr, 0, &count),
              static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    EXPECT_EQ(count, 0u);
}

TEST_F(CUsbIoTest, ControlRequestTheDriverAnswersLaterIsAwaitedWithoutLimit) {
    auto c = named("slow");
    c.controlLatencyMs = 7000; // longer than any transfer limit
    add(c);
    CUsbIo io;
    const auto start = clock.nowMs();
    ASSERT_EQ(io.Open(0, list(), &UsbioInterfaceClass), 0u);
    EXPECT_EQ(clock.nowMs() - start, 7000u);
    DeviceDescriptor d{};
    DWORD size = 18;
    EXPECT_EQ(io.ReadDescriptor(d.data(), size, 0, 1, 0, 0), 0u);
    EXPECT_EQ(size, 18u);
    EXPECT_EQ(d[10], 0x4C);
    EXPECT_EQ(clock.nowMs() - start, 14000u);
}

TEST_F(CUsbIoTest, BindEndpointSendsTheSingleEndpointByteOrLeavesThePipeUnbound) {
    add();
    HDEVINFO l = list();
    CUsbIo device;
    ASSERT_EQ(device.Open(0, l, &UsbioInterfaceClass), 0u);
    ConfigurationRequest config{};
    config.interfaceCount = 1;
    ASSERT_EQ(device.Configure(config), 0u);
    CUsbIoPipe pipe;
    EXPECT_EQ(pipe.BindEndpoint(0, 0x81, l, &UsbioInterfaceClass), 0u);
    const auto controls = entries(DeviceCall::Kind::Control);
    ASSERT_EQ(controls.size(), 4u);
    EXPECT_EQ(controls[3].code, 0x80942078u);
    EXPECT_EQ(controls[3].bytes, Bytes{0x81});
    EXPECT_EQ(controls[3].size, 0u);

    // A binding the driver refuses leaves the pipe open and unbound.
    CUsbIoPipe refused;
    EXPECT_EQ(refused.BindEndpoint(0, 0x83, l, &UsbioInterfaceClass),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(refused.IsOpen());
    std::uint8_t byte = 0;
    DWORD count = 1;
    EXPECT_EQ(refused.TimedRead(&byte, count, 5000), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    // Failing at the open step returns its status at once, with nothing sent.
    CUsbIoPipe beyond;
    EXPECT_EQ(beyond.BindEndpoint(4, 0x81, l, &UsbioInterfaceClass), UsbStatus::NoSuchInstance);
    EXPECT_EQ(entries(DeviceCall::Kind::Control).size(), 6u);
}

} // namespace
} // namespace zt40::test
