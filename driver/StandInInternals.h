// The stand-in's inner state and the helpers its parts share; not for use outside driver/.
#pragma once

#include "DriverStandIn.h"
#include "InstrumentUsbIds.h"
#include "SimulatedDevice.h"
#include "SimulatedInstrument.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

namespace zt40::driver {

// What OVERLAPPED.Internal holds while an operation is outstanding. Completed operations hold
// a 32-bit error code there, so a value above 32 bits can never be mistaken for one.
inline constexpr ULONG_PTR StatusPending = ~ULONG_PTR{0};
static_assert(sizeof(ULONG_PTR) > sizeof(DWORD),
              "the pending marker must lie beyond every error code");

inline constexpr InstrumentUsb::InterfaceClassId ServedClass = InstrumentUsb::DriverInterfaceClass;
inline constexpr GUID DriverInterfaceClass = {
    ServedClass.data1,
    ServedClass.data2,
    ServedClass.data3,
    {ServedClass.data4[0], ServedClass.data4[1], ServedClass.data4[2], ServedClass.data4[3],
     ServedClass.data4[4], ServedClass.data4[5], ServedClass.data4[6], ServedClass.data4[7]}};

// The driver's request codes and their sizes.
inline constexpr DWORD RequestDriverInfo = 0x8094206C;
inline constexpr DWORD RequestDescriptor = 0x80942006;
inline constexpr DWORD RequestConfiguration = 0x80942024;
inline constexpr DWORD RequestBindPipe = 0x80942078;
inline constexpr DWORD DriverInfoSize = 12;
inline constexpr DWORD DescriptorRequestSize = 8;
inline constexpr DWORD ConfigurationRequestSize = 260;
inline constexpr DWORD MaxInterfaces = 32;

inline bool sameGuid(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

inline std::uint16_t get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

class SteadyClock : public Clock {
public:
    std::uint64_t nowMs() override {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }
    bool realTime() const override { return true; }
    void advance(std::uint64_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};

struct DeviceEntry {
    std::shared_ptr<Device> device;
    std::string path;
    bool configured = false;
    int handles = 0;
};

struct EventObject {
    bool signalled = false;
    bool manualReset = false;
};
struct FileObject {
    std::shared_ptr<DeviceEntry> entry;
    bool bound = false;
    std::uint8_t endpoint = 0;
};
struct ListObject {
    GUID interfaceClass{};
    std::vector<std::shared_ptr<DeviceEntry>> entries;
};
using Object = std::variant<EventObject, FileObject, ListObject>;

struct State {
    std::recursive_mutex mutex;
    std::condition_variable_any wake;
    std::map<std::uintptr_t, Object> objects;
    std::uintptr_t nextHandle = 0x1000; // handle values are never reused
    std::map<std::string, std::shared_ptr<DeviceEntry>> entries;
    std::vector<std::shared_ptr<Device>> published;
    std::shared_ptr<simulator::SimulatedInstrument> environmentInstrument;
    std::shared_ptr<SimulatedDevice> environmentDevice;
    std::vector<std::shared_ptr<Transfer>> pending;
    std::uint64_t completions = 0;
    SteadyClock steady;
    Clock* clock = &steady;
    bool realDevices = true;
    std::function<DWORD()> eventFault;
    std::function<DWORD()> waitFault;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> servedIds{
        {InstrumentUsb::VendorId, InstrumentUsb::ProductId}};
    CallObserver* observer = nullptr;
    Counters counters;
};

// Lives for the whole process, so that nothing depends on the order of static destruction.
State& state();

extern thread_local DWORD lastError;

inline BOOL fail(DWORD error) {
    lastError = error;
    return FALSE;
}

inline HANDLE newHandle(Object object) {
    State& s = state();
    const std::uintptr_t id = s.nextHandle;
    s.nextHandle += 4;
    s.objects.emplace(id, std::move(object));
    return reinterpret_cast<HANDLE>(id);
}

template <class T> inline T* find(HANDLE handle) {
    auto& objects = state().objects;
    auto it = objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == objects.end() ? nullptr : std::get_if<T>(&it->second);
}

inline void record(const DeviceCall& entry) {
    if (CallObserver* observer = state().observer) {
        observer->seen(entry);
    }
}

std::shared_ptr<DeviceEntry> entryFor(const std::shared_ptr<Device>& device);

inline std::uint64_t now() {
    return state().clock->nowMs();
}

inline void setEvent(HANDLE event, bool signalled) {
    if (auto* e = find<EventObject>(event)) {
        e->signalled = signalled;
    }
}

// The stand-in's side of transfers, requests and handles; a friend of Transfer.
struct StandInAccess {
    static void finish(Transfer& t, DWORD error, std::uint32_t count);
    static void pump();
    static std::optional<std::uint64_t> nextDue();
    static DWORD waitUntil(std::unique_lock<std::recursive_mutex>& lock,
                           const std::function<int()>& check, DWORD limitMs);
    static BOOL startTransfer(HANDLE handle, void* buffer, DWORD size, DWORD* count,
                              OVERLAPPED* overlapped, bool read);
    static BOOL control(HANDLE handle, DWORD code, const std::uint8_t* in, DWORD inSize,
                        std::uint8_t* out, DWORD outSize, DWORD* returned, OVERLAPPED* overlapped);
    static bool endpointTaken(const DeviceEntry& entry, std::uint8_t endpoint);
    static void cancel(const std::shared_ptr<Transfer>& t, Device* device);
    static BOOL cancelIo(HANDLE handle);
    static void abandonEvent(HANDLE event);
    static void closeFile(HANDLE handle, FileObject& file);
};

} // namespace zt40::driver
