// The driver stand-in: what the USB classes expect of the generic USB driver and of Windows,
// in user space, for systems that have neither.
//
// It publishes devices as interfaces of the driver's interface class, opens handles on them,
// answers the driver's control requests with their exact layouts, runs overlapped transfers on
// bound handles with auto-reset events, and waits on a clock that tests can replace.
//
// Devices, in the order of every device list:
//  1. the simulated instrument, when the environment variable ZT40_SIMULATOR is set
//     (value "1" or a scenario name of the simulator);
//  2. devices published with publish(), in the order published (tests, demos);
//  3. real USB devices found through libusb, for the vendor/product pairs served.
#pragma once

#include "Win32Api.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace zt40::simulator {
class SimulatedInstrument;
}

namespace zt40::driver {

// ---------------------------------------------------------------------------------------------
// Time

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint64_t nowMs() = 0;
    // True for clocks that follow real time: the stand-in then sleeps (and can be woken by a
    // completion from another thread). Otherwise it calls advance() to let time pass at once.
    virtual bool realTime() const = 0;
    virtual void advance(std::uint64_t ms) = 0;
};

// Replaces the stand-in's clock (not owned); nullptr restores the steady system clock.
void setClock(Clock* clock);
Clock& currentClock();

// Uses a clock for the lifetime of the object.
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* previous_;
};

// ---------------------------------------------------------------------------------------------
// Devices

// One overlapped read or write on a bound handle, handed to the handle's device. The device
// completes it at once, later (from its own events or on a schedule), or on cancellation.
class Transfer {
public:
    std::uint8_t endpoint() const { return endpoint_; }
    bool isIn() const { return (endpoint_ & 0x80) != 0; }
    // The caller's memory; null once the handle was closed under the transfer.
    std::uint8_t* data() const { return data_; }
    std::uint32_t size() const { return size_; }
    bool completed() const;

    // Completes the transfer: error 0 for success, else a Windows error code; count is capped
    // at the size. A transfer that fails during submission fails its ReadFile/WriteFile call.
    void complete(DWORD error, std::uint32_t count);
    // Completes it during submission and lets ReadFile/WriteFile report success at once.
    void completeAtOnce(std::uint32_t count);
    // Completes it when the stand-in's clock reaches now + delayMs; the bytes, if any, are then
    // placed in the caller's memory (when it still has it) and count is their number.
    void completeAfter(std::uint32_t delayMs, DWORD error, std::uint32_t count);
    void completeAfter(std::uint32_t delayMs, DWORD error, std::vector<std::uint8_t> bytes);

    // Made by the stand-in only.
    struct Origin {
        HANDLE file;
        OVERLAPPED* overlapped;
        std::uint8_t endpoint;
        std::uint8_t* data;
        std::uint32_t size;
    };
    explicit Transfer(const Origin& origin);
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

private:
    friend struct StandInAccess;
    void completeAfterLocked(std::uint64_t dueMs, DWORD error, std::uint32_t count);

    HANDLE file_;
    OVERLAPPED* overlapped_;
    HANDLE event_;
    std::uint8_t endpoint_;
    std::uint8_t* data_;
    std::uint32_t size_;
    std::thread::id thread_;
    bool done_ = false;
    bool inSubmission_ = false;
    bool reportedAtOnce_ = false;
    std::optional<std::uint64_t> dueMs_;
    DWORD dueError_ = 0;
    std::uint32_t dueCount_ = 0;
    std::vector<std::uint8_t> dueBytes_;
};

// One entry of a ConfigurationRequest.
struct InterfaceChoice {
    std::uint16_t interfaceIndex = 0;
    std::uint16_t alternateSetting = 0;
    std::uint32_t maximumTransferSize = 0;
};

// A device behind the stand-in. All calls come with the stand-in's lock held.
class Device {
public:
    virtual ~Device() = default;
    // A short name, unique among the devices; part of the device path.
    virtual std::string name() const = 0;
    // False while unplugged: the device is left out of new device lists and every operation
    // on its handles fails with ERROR_DEVICE_NOT_CONNECTED.
    virtual bool present() { return true; }
    // A handle is being opened (0 accepts, else the Windows error code) or was closed.
    virtual DWORD open() { return 0; }
    virtual void close() {}
    virtual std::uint16_t interfaceVersion() { return 0x0141; }
    // Control requests complete this much later, reported as pending.
    virtual std::uint32_t controlLatencyMs() { return 0; }
    virtual DWORD getDescriptor(std::uint32_t recipient, std::uint8_t type, std::uint8_t index,
                                std::uint16_t languageId, std::uint8_t* out, std::uint32_t size,
                                std::uint32_t& returned) = 0;
    virtual DWORD setConfiguration(std::uint16_t configurationIndex,
                                   const std::vector<InterfaceChoice>& interfaces) = 0;
    // The endpoint exists in the device's configuration (0) or not (an error code).
    virtual DWORD bindPipe(std::uint8_t endpointAddress) = 0;
    virtual void submit(const std::shared_ptr<Transfer>& transfer) = 0;
    // Must complete the transfer, at once or soon (ERROR_OPERATION_ABORTED).
    virtual void cancel(const std::shared_ptr<Transfer>& transfer) {
        transfer->complete(ERROR_OPERATION_ABORTED, 0);
    }
    // The stand-in's time, passed before each operation and during waits.
    virtual void tick(std::uint64_t /*nowMs*/) {}
};

// Adds a device after those published earlier; it appears in the next device list.
void publish(std::shared_ptr<Device> device);
// Takes every published device out of the next device lists.
void withdrawAll();

// The simulated instrument behind ZT40_SIMULATOR, created with the first device list taken
// while the variable is set; null before. It keeps its state for the whole run.
std::shared_ptr<simulator::SimulatedInstrument> environmentSimulator();

// Real USB devices through libusb: on by default, for the instrument's identifiers.
void setRealDevicesEnabled(bool enabled);
void setServedIds(std::vector<std::pair<std::uint16_t, std::uint16_t>> vendorProductPairs);

// Asked before each CreateEventA: a non-zero answer fails the call with that error, as when
// the system runs out of resources. Empty: events are always made.
void setEventCreationFault(std::function<DWORD()> fault);
// Asked before each WaitForSingleObject: a non-zero answer fails the wait (WAIT_FAILED) with
// that error before it looks at the event. Empty: waits never fail this way.
void setWaitFault(std::function<DWORD()> fault);

// The lock under which devices are called; take it to drive a device from another thread.
std::recursive_mutex& standInMutex();

// The device path under which the stand-in lists a device of this name.
std::string devicePathFor(const std::string& deviceName);

// ---------------------------------------------------------------------------------------------
// Observation, for tests and measurements

// One call that reached a device.

struct DeviceCall {
    enum class Kind { Open, Close, Control, Write, Read, Cancel };
    DeviceCall(Kind k, std::string deviceName) : kind(k), device(std::move(deviceName)) {}
    Kind kind;
    std::string device;              // the device's name
    DWORD code = 0;                  // control code
    std::vector<std::uint8_t> bytes; // control input or bytes written
    std::uint32_t size = 0;          // control output size or bytes asked for
    std::uint8_t endpoint = 0;       // of a read or write
};

// Sees every call that reaches a device, under the stand-in's lock; null for none.
class CallObserver {
public:
    virtual ~CallObserver() = default;
    virtual void seen(const DeviceCall& call) = 0;
};
void setCallObserver(CallObserver* observer);

struct Counters {
    std::uint64_t eventsCreated = 0;
    std::uint64_t eventsOpen = 0;
    std::uint64_t filesOpen = 0;
    std::uint64_t listsOpen = 0;
    std::uint64_t transfersPending = 0;
    // Transfers whose event was closed while they were still outstanding: their caller gave
    // up the record and the memory before the transfer had finished with them.
    std::uint64_t transfersAbandoned = 0;
};
Counters counters();

} // namespace zt40::driver
