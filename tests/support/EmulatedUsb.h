// USB devices emulated at the kernel's interface with umockdev: sysfs entries, hotplug events
// and the usbfs requests on /dev/bus/usb/BBB/DDD, so that libusb itself, unchanged, finds the
// devices and talks to them. The test program must run with libumockdev-preload loaded.
//
// A device with the instrument's identity answers as the gloss meter does (the simulator
// behind endpoints 0x81 IN and 0x02 OUT, interrupt, 8 bytes); other identities only enumerate.
#pragma once

#include "SimulatedInstrument.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

using UMockdevTestbed = struct _UMockdevTestbed;

namespace zt40::test {

class EmulatedUsbBus;

class EmulatedDevice {
public:
    EmulatedDevice(std::uint16_t vendorId, std::uint16_t productId);
    ~EmulatedDevice();
    EmulatedDevice(const EmulatedDevice&) = delete;
    EmulatedDevice& operator=(const EmulatedDevice&) = delete;

    // The gloss meter behind the endpoints; lock() while touching it from the test.
    simulator::SimulatedInstrument& instrument() { return instrument_; }
    std::unique_lock<std::mutex> lock() { return std::unique_lock(mutex_); }

    // Discarded transfers come back this much later (real time), as from real hardware.
    void setCancelLatencyMs(std::uint32_t ms);
    // The next `count` reads on 0x81 never complete by themselves.
    void withholdReplies(int count);
    // Someone else holds interface 0: another program (claims fail as busy) or a kernel
    // driver that refuses to be detached.
    enum class Holder { Nobody, OtherProgram, KernelDriver };
    void setHolder(Holder holder);

    // What the device has seen.
    int discards() const;
    int openFiles() const; // usbfs files open on the device now
    bool claimed() const;  // interface 0 claimed by someone
    std::uint16_t vendorId() const { return vendorId_; }
    std::uint16_t productId() const { return productId_; }

    struct Urb;
    struct Client;

private:
    friend class EmulatedUsbBus;
    friend struct Handler;
    long ioctl(void* client, unsigned long request, void* arg, int& error);
    void clientOpened(void* client);
    void forgetClosedFiles() const;
    void unplugged();

    std::uint16_t vendorId_;
    std::uint16_t productId_;
    mutable std::mutex mutex_;
    simulator::SimulatedInstrument instrument_;
    bool present_ = false;
    std::uint32_t cancelLatencyMs_ = 0;
    int withheld_ = 0;
    Holder holder_ = Holder::Nobody;
    int discards_ = 0;
    mutable void* claimedBy_ = nullptr;
    mutable std::map<void*, std::unique_ptr<Client>> clients_;
};

// One emulated bus with its hotplug events. Devices are plugged in at a bus number and
// address and taken out again; the same address can be used again.
class EmulatedUsbBus {
public:
    EmulatedUsbBus();
    ~EmulatedUsbBus();
    EmulatedUsbBus(const EmulatedUsbBus&) = delete;
    EmulatedUsbBus& operator=(const EmulatedUsbBus&) = delete;

    // Without access the node is there but this process may not open it, as on a system
    // without the udev rule (tests running as root need WithoutFileOverride for that).
    void plugIn(EmulatedDevice& device, int bus, int address, bool accessible = true);
    // Transfers in flight end as with a pulled cable; the node and the sysfs entry go.
    void unplug(EmulatedDevice& device);

    static std::string nodeOf(int bus, int address);

private:
    struct Slot;
    UMockdevTestbed* testbed_;
    std::map<std::string, std::unique_ptr<Slot>> slots_; // by node
};

// The process's one bus, made at the first call and never destroyed: libusb watches it from
// its first use on.
EmulatedUsbBus& emulatedBus();

// Takes away the file access rights of a superuser on this thread for its lifetime, so that
// node permissions apply in tests run as root.
class WithoutFileOverride {
public:
    WithoutFileOverride();
    ~WithoutFileOverride();
    WithoutFileOverride(const WithoutFileOverride&) = delete;
    WithoutFileOverride& operator=(const WithoutFileOverride&) = delete;

private:
    int previous_;
};

// Open file descriptors of this process.
int openFileDescriptors();

} // namespace zt40::test
