// The stand-in's objects (device lists, device handles, events), its waits and its transfers.
#include "DriverStandIn.h"
#include "InstrumentUsbIds.h"
#include "LibusbBackend.h"
#include "SimulatedDevice.h"
#include "SimulatedInstrument.h"

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <variant>

namespace zt40::driver {

namespace {

// What OVERLAPPED.Internal holds while an operation is outstanding. Completed operations hold
// a 32-bit error code there, so a value above 32 bits can never be mistaken for one.
constexpr ULONG_PTR StatusPending = ~ULONG_PTR{0};
static_assert(sizeof(ULONG_PTR) > sizeof(DWORD),
              "the pending marker must lie beyond every error code");

constexpr InstrumentUsb::InterfaceClassId ServedClass = InstrumentUsb::DriverInterfaceClass;
constexpr GUID DriverInterfaceClass = {
    ServedClass.data1,
    ServedClass.data2,
    ServedClass.data3,
    {ServedClass.data4[0], ServedClass.data4[1], ServedClass.data4[2], ServedClass.data4[3],
     ServedClass.data4[4], ServedClass.data4[5], ServedClass.data4[6], ServedClass.data4[7]}};

// The driver's request codes and their sizes.
constexpr DWORD RequestDriverInfo = 0x8094206C;
constexpr DWORD RequestDescriptor = 0x80942006;
constexpr DWORD RequestConfiguration = 0x80942024;
constexpr DWORD RequestBindPipe = 0x80942078;
constexpr DWORD DriverInfoSize = 12;
constexpr DWORD DescriptorRequestSize = 8;
constexpr DWORD ConfigurationRequestSize = 260;
constexpr DWORD MaxInterfaces = 32;

bool sameGuid(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

std::uint16_t get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t get32(const std::uint8_t* p) {
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
    std::shared_ptr<sim::SimulatedInstrument> environmentInstrument;
    std::shared_ptr<SimulatedDevice> environmentDevice;
    std::vector<std::shared_ptr<Transfer>> pending;
    std::uint64_t completions = 0;
    SteadyClock steady;
    Clock* clock = &steady;
    bool realDevices = true;
    std::function<DWORD()> eventFault;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> servedIds{
        {InstrumentUsb::VendorId, InstrumentUsb::ProductId}};
    CallObserver* observer = nullptr;
    Counters counters;
};

// Lives for the whole process, so that nothing depends on the order of static destruction.
State& state() {
    static State* s = new State;
    return *s;
}

thread_local DWORD lastError = 0;

BOOL fail(DWORD error) {
    lastError = error;
    return FALSE;
}

HANDLE newHandle(Object object) {
    State& s = state();
    const std::uintptr_t id = s.nextHandle;
    s.nextHandle += 4;
    s.objects.emplace(id, std::move(object));
    return reinterpret_cast<HANDLE>(id);
}

template <class T> T* find(HANDLE handle) {
    auto& objects = state().objects;
    auto it = objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == objects.end() ? nullptr : std::get_if<T>(&it->second);
}

void record(const JournalEntry& entry) {
    if (CallObserver* observer = state().observer) {
        observer->seen(entry);
    }
}

std::shared_ptr<DeviceEntry> entryFor(const std::shared_ptr<Device>& device) {
    State& s = state();
    const std::string path = devicePathFor(device->name());
    auto& slot = s.entries[path];
    if (!slot || slot->device != device) {
        // A new device under a known name gets a fresh entry; handles on the old one keep it.
        slot = std::make_shared<DeviceEntry>();
        slot->device = device;
        slot->path = path;
    }
    return slot;
}

std::uint64_t now() {
    return state().clock->nowMs();
}

void setEvent(HANDLE event, bool signalled) {
    if (auto* e = find<EventObject>(event)) {
        e->signalled = signalled;
    }
}

} // namespace

// Access to the stand-in's side of a transfer.
struct StandInAccess {
    static void finish(Transfer& t, DWORD error, std::uint32_t count) {
        State& s = state();
        if (t.done_) {
            return;
        }
        t.done_ = true;
        ++s.completions;
        count = std::min(count, t.size_);
        if (t.overlapped_ != nullptr) {
            t.overlapped_->Internal = error;
            t.overlapped_->InternalHigh = count;
        }
        // A failure during submission is reported by the call itself, not by the event.
        if (!(t.inSubmission_ && error != 0)) {
            setEvent(t.event_, true);
        }
        std::erase_if(s.pending, [&](const std::shared_ptr<Transfer>& p) { return p.get() == &t; });
        s.counters.transfersPending = s.pending.size();
        s.wake.notify_all();
    }

    // Completes what is due and lets the devices see the time.
    static void pump() {
        State& s = state();
        const std::uint64_t t = now();
        for (auto& [path, entry] : s.entries) {
            if (entry->handles > 0) {
                entry->device->tick(t);
            }
        }
        const auto due = s.pending;
        for (const auto& p : due) {
            if (!p->done_ && p->dueMs_ && *p->dueMs_ <= t) {
                if (p->data_ != nullptr && !p->dueBytes_.empty()) {
                    std::memcpy(p->data_, p->dueBytes_.data(),
                                std::min<std::size_t>(p->dueBytes_.size(), p->size_));
                }
                finish(*p, p->dueError_, p->dueCount_);
            }
        }
    }

    static std::optional<std::uint64_t> nextDue() {
        std::optional<std::uint64_t> next;
        for (const auto& p : state().pending) {
            if (!p->done_ && p->dueMs_ && (!next || *p->dueMs_ < *next)) {
                next = p->dueMs_;
            }
        }
        return next;
    }

    // Waits until check() gives 1 (WAIT_OBJECT_0) or -1 (WAIT_FAILED, error set), or the limit.
    static DWORD waitUntil(std::unique_lock<std::recursive_mutex>& lock,
                           const std::function<int()>& check, DWORD limitMs) {
        State& s = state();
        const std::uint64_t start = now();
        constexpr std::uint64_t Forever = std::numeric_limits<std::uint64_t>::max();
        for (;;) {
            pump();
            if (const int c = check(); c != 0) {
                return c > 0 ? WAIT_OBJECT_0 : WAIT_FAILED;
            }
            const std::uint64_t t = now();
            const std::uint64_t elapsed = t - start;
            if (limitMs != INFINITE && elapsed >= limitMs) {
                return WAIT_TIMEOUT;
            }
            std::uint64_t step = limitMs == INFINITE ? Forever : limitMs - elapsed;
            if (const auto due = nextDue()) {
                step = std::min(step, *due > t ? *due - t : 0);
            }
            Clock& clock = *s.clock;
            if (usbhost::busy()) {
                // Real transfers complete inside libusb's event handling, run here.
                step = std::min<std::uint64_t>(step, 50);
                const std::uint64_t completionsBefore = s.completions;
                lock.unlock();
                usbhost::handleEvents(static_cast<std::uint32_t>(step));
                lock.lock();
                // A test clock moves on towards a limit or a scheduled completion while the
                // real device has nothing to say; a wait without either takes no test time.
                if (!clock.realTime() && s.completions == completionsBefore &&
                    (limitMs != INFINITE || nextDue())) {
                    clock.advance(step);
                }
            } else if (clock.realTime()) {
                if (step == Forever) {
                    s.wake.wait(lock);
                } else {
                    s.wake.wait_for(lock, std::chrono::milliseconds(step));
                }
            } else if (step == Forever) {
                // Nothing could ever end this wait.
                lastError = ERROR_POSSIBLE_DEADLOCK;
                return WAIT_FAILED;
            } else {
                clock.advance(step);
            }
        }
    }

    static BOOL startTransfer(HANDLE handle, void* buffer, DWORD size, DWORD* count,
                              OVERLAPPED* overlapped, bool read) {
        State& s = state();
        std::unique_lock lock(s.mutex);
        FileObject* file = find<FileObject>(handle);
        if (file == nullptr) {
            return fail(ERROR_INVALID_HANDLE);
        }
        if (overlapped == nullptr) {
            return fail(ERROR_INVALID_PARAMETER); // the stand-in serves overlapped I/O only
        }
        if (!file->bound || ((file->endpoint & 0x80) != 0) != read) {
            return fail(ERROR_INVALID_FUNCTION);
        }
        if (buffer == nullptr && size > 0) {
            return fail(ERROR_INVALID_USER_BUFFER);
        }
        const std::shared_ptr<Device> device = file->entry->device;
        if (!device->present()) {
            return fail(ERROR_DEVICE_NOT_CONNECTED);
        }
        auto* data = static_cast<std::uint8_t*>(buffer);
        JournalEntry entry{read ? JournalEntry::Kind::Read : JournalEntry::Kind::Write,
                           device->name()};
        entry.endpoint = file->endpoint;
        entry.size = size;
        if (!read && size > 0) {
            entry.bytes.assign(data, data + size);
        }
        record(std::move(entry));

        overlapped->Internal = StatusPending;
        overlapped->InternalHigh = 0;
        setEvent(overlapped->hEvent, false);
        auto t = std::make_shared<Transfer>(
            Transfer::Origin{handle, overlapped, file->endpoint, data, size});
        s.pending.push_back(t);
        s.counters.transfersPending = s.pending.size();
        device->tick(now());
        t->inSubmission_ = true;
        device->submit(t);
        t->inSubmission_ = false;
        if (t->done_) {
            const auto error = static_cast<DWORD>(overlapped->Internal);
            if (error != 0) {
                return fail(error);
            }
            if (t->reportedAtOnce_) {
                if (count != nullptr) {
                    *count = static_cast<DWORD>(overlapped->InternalHigh);
                }
                return TRUE;
            }
        }
        return fail(ERROR_IO_PENDING);
    }

    static BOOL control(HANDLE handle, DWORD code, const std::uint8_t* in, DWORD inSize,
                        std::uint8_t* out, DWORD outSize, DWORD* returned, OVERLAPPED* overlapped) {
        State& s = state();
        std::unique_lock lock(s.mutex);
        FileObject* file = find<FileObject>(handle);
        if (file == nullptr) {
            return fail(ERROR_INVALID_HANDLE);
        }
        const std::shared_ptr<DeviceEntry> entry = file->entry;
        Device& device = *entry->device;
        if ((in == nullptr && inSize > 0) || (out == nullptr && outSize > 0)) {
            return fail(ERROR_INVALID_USER_BUFFER);
        }
        JournalEntry j{JournalEntry::Kind::Control, device.name()};
        j.code = code;
        if (inSize > 0) {
            j.bytes.assign(in, in + inSize);
        }
        j.size = outSize;
        record(std::move(j));
        if (!device.present()) {
            return fail(ERROR_DEVICE_NOT_CONNECTED);
        }
        device.tick(now());

        std::uint32_t count = 0;
        DWORD error = 0;
        switch (code) {
        case RequestDriverInfo:
            if (inSize != 0 || outSize != DriverInfoSize) {
                error = ERROR_INVALID_PARAMETER;
                break;
            }
            std::memset(out, 0, DriverInfoSize);
            out[0] = static_cast<std::uint8_t>(device.interfaceVersion() & 0xFF);
            out[1] = static_cast<std::uint8_t>(device.interfaceVersion() >> 8);
            out[2] = 0x00; // stand-in release 1.00
            out[3] = 0x01;
            out[4] = 0x01; // build 1
            count = DriverInfoSize;
            break;
        case RequestDescriptor:
            if (inSize != DescriptorRequestSize || outSize == 0) {
                error = ERROR_INVALID_PARAMETER;
                break;
            }
            error =
                device.getDescriptor(get32(in), in[4], in[5], get16(in + 6), out, outSize, count);
            break;
        case RequestConfiguration: {
            const std::uint16_t n = inSize == ConfigurationRequestSize ? get16(in + 2) : 0;
            if (inSize != ConfigurationRequestSize || outSize != 0 || n == 0 || n > MaxInterfaces) {
                error = ERROR_INVALID_PARAMETER;
                break;
            }
            std::vector<InterfaceChoice> choices;
            for (std::uint16_t i = 0; i < n; ++i) {
                const std::uint8_t* e = in + 4 + 8 * i;
                choices.push_back({get16(e), get16(e + 2), get32(e + 4)});
            }
            error = device.setConfiguration(get16(in), choices);
            if (error == 0) {
                entry->configured = true;
            }
            break;
        }
        case RequestBindPipe:
            if (inSize != 1 || outSize != 0) {
                error = ERROR_INVALID_PARAMETER;
            } else if (file->bound || endpointTaken(*entry, in[0])) {
                error = ERROR_BUSY;
            } else if (!entry->configured) {
                error = ERROR_NOT_READY;
            } else {
                error = device.bindPipe(in[0]);
                if (error == 0) {
                    file->bound = true;
                    file->endpoint = in[0];
                }
            }
            break;
        default:
            error = ERROR_INVALID_FUNCTION;
            break;
        }
        if (returned != nullptr) {
            *returned = count;
        }
        if (overlapped == nullptr) {
            return error == 0 ? TRUE : fail(error);
        }
        overlapped->Internal = error;
        overlapped->InternalHigh = count;
        if (const std::uint32_t latency = device.controlLatencyMs(); latency > 0) {
            // The driver answers later: report the request as pending.
            overlapped->Internal = StatusPending;
            setEvent(overlapped->hEvent, false);
            auto t =
                std::make_shared<Transfer>(Transfer::Origin{handle, overlapped, 0, nullptr, count});
            t->completeAfterLocked(now() + latency, error, count);
            s.pending.push_back(t);
            s.counters.transfersPending = s.pending.size();
            return fail(ERROR_IO_PENDING);
        }
        setEvent(overlapped->hEvent, true);
        return error == 0 ? TRUE : fail(error);
    }

    static bool endpointTaken(const DeviceEntry& entry, std::uint8_t endpoint) {
        for (const auto& [id, object] : state().objects) {
            if (const auto* f = std::get_if<FileObject>(&object)) {
                if (f->entry.get() == &entry && f->bound && f->endpoint == endpoint) {
                    return true;
                }
            }
        }
        return false;
    }

    static void cancel(const std::shared_ptr<Transfer>& t, Device* device) {
        if (t->endpoint_ == 0 || device == nullptr) {
            finish(*t, ERROR_OPERATION_ABORTED, 0); // a control request still outstanding
        } else {
            device->cancel(t);
        }
    }

    static BOOL cancelIo(HANDLE handle) {
        State& s = state();
        std::unique_lock lock(s.mutex);
        FileObject* file = find<FileObject>(handle);
        if (file == nullptr) {
            return fail(ERROR_INVALID_HANDLE);
        }
        const std::shared_ptr<DeviceEntry> entry = file->entry;
        record({JournalEntry::Kind::Cancel, entry->device->name()});
        const auto mine = s.pending;
        for (const auto& t : mine) {
            if (t->file_ == handle && t->thread_ == std::this_thread::get_id() && !t->done_) {
                cancel(t, entry->device.get());
            }
        }
        return TRUE;
    }

    // The event of a transfer that is still outstanding is being closed: its record is about
    // to go, so the transfer must no longer write into it or into the caller's memory.
    static void abandonEvent(HANDLE event) {
        State& s = state();
        for (const auto& t : s.pending) {
            if (t->event_ == event && !t->done_) {
                t->overlapped_ = nullptr;
                t->data_ = nullptr;
                t->event_ = nullptr;
                ++s.counters.transfersAbandoned;
            }
        }
    }

    static void closeFile(HANDLE handle, FileObject& file) {
        State& s = state();
        const std::shared_ptr<DeviceEntry> entry = file.entry;
        // Closing cancels what is outstanding; the caller's memory is no longer touched.
        const auto outstanding = s.pending;
        for (const auto& t : outstanding) {
            if (t->file_ == handle && !t->done_) {
                t->overlapped_ = nullptr;
                t->data_ = nullptr;
                t->event_ = nullptr;
                cancel(t, entry->device.get());
            }
        }
        record({JournalEntry::Kind::Close, entry->device->name()});
        entry->device->close();
        if (--entry->handles == 0) {
            entry->configured = false;
        }
    }
};

// ---------------------------------------------------------------------------------------------
// Transfer

Transfer::Transfer(const Origin& origin)
    : file_(origin.file), overlapped_(origin.overlapped),
      event_(origin.overlapped != nullptr ? origin.overlapped->hEvent : nullptr),
      endpoint_(origin.endpoint), data_(origin.data), size_(origin.size),
      thread_(std::this_thread::get_id()) {}

bool Transfer::completed() const {
    std::lock_guard lock(state().mutex);
    return done_;
}

void Transfer::complete(DWORD error, std::uint32_t count) {
    std::lock_guard lock(state().mutex);
    StandInAccess::finish(*this, error, count);
}

void Transfer::completeAtOnce(std::uint32_t count) {
    std::lock_guard lock(state().mutex);
    reportedAtOnce_ = inSubmission_;
    StandInAccess::finish(*this, 0, count);
}

void Transfer::completeAfter(std::uint32_t delayMs, DWORD error, std::uint32_t count) {
    std::lock_guard lock(state().mutex);
    completeAfterLocked(now() + delayMs, error, count);
}

void Transfer::completeAfter(std::uint32_t delayMs, DWORD error, std::vector<std::uint8_t> bytes) {
    std::lock_guard lock(state().mutex);
    const auto count = static_cast<std::uint32_t>(bytes.size());
    dueBytes_ = std::move(bytes);
    completeAfterLocked(now() + delayMs, error, count);
}

void Transfer::completeAfterLocked(std::uint64_t dueMs, DWORD error, std::uint32_t count) {
    dueMs_ = dueMs;
    dueError_ = error;
    dueCount_ = count;
    state().wake.notify_all();
}

// ---------------------------------------------------------------------------------------------
// Clock, devices, observation

void setClock(Clock* clock) {
    std::lock_guard lock(state().mutex);
    state().clock = clock != nullptr ? clock : &state().steady;
}

Clock& currentClock() {
    std::lock_guard lock(state().mutex);
    return *state().clock;
}

ScopedClock::ScopedClock(Clock& clock) : previous_(&currentClock()) {
    setClock(&clock);
}

ScopedClock::~ScopedClock() {
    setClock(previous_);
}

void publish(std::shared_ptr<Device> device) {
    std::lock_guard lock(state().mutex);
    if (device) {
        state().published.push_back(std::move(device));
    }
}

void withdraw(const std::shared_ptr<Device>& device) {
    std::lock_guard lock(state().mutex);
    std::erase(state().published, device);
}

void withdrawAll() {
    std::lock_guard lock(state().mutex);
    state().published.clear();
}

std::shared_ptr<sim::SimulatedInstrument> environmentSimulator() {
    std::lock_guard lock(state().mutex);
    return state().environmentInstrument;
}

void setRealDevicesEnabled(bool enabled) {
    std::lock_guard lock(state().mutex);
    state().realDevices = enabled;
}

void setServedIds(std::vector<std::pair<std::uint16_t, std::uint16_t>> vendorProductPairs) {
    std::lock_guard lock(state().mutex);
    state().servedIds = std::move(vendorProductPairs);
}

void setEventCreationFault(std::function<DWORD()> fault) {
    std::lock_guard lock(state().mutex);
    state().eventFault = std::move(fault);
}

std::recursive_mutex& standInMutex() {
    return state().mutex;
}

std::string devicePathFor(const std::string& deviceName) {
    const auto& c = InstrumentUsb::DriverInterfaceClass;
    char guid[40];
    std::snprintf(guid, sizeof guid, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", c.data1,
                  c.data2, c.data3, c.data4[0], c.data4[1], c.data4[2], c.data4[3], c.data4[4],
                  c.data4[5], c.data4[6], c.data4[7]);
    return "\\\\?\\zt40standin#" + deviceName + "#" + guid;
}

void setCallObserver(CallObserver* observer) {
    std::lock_guard lock(state().mutex);
    state().observer = observer;
}

Counters counters() {
    std::lock_guard lock(state().mutex);
    return state().counters;
}

} // namespace zt40::driver

// ---------------------------------------------------------------------------------------------
// The Win32 functions

using zt40::driver::DeviceEntry;
using zt40::driver::EventObject;
using zt40::driver::FileObject;
using zt40::driver::ListObject;
using zt40::driver::StandInAccess;
using zt40::driver::state;

DWORD GetLastError() {
    return zt40::driver::lastError;
}

void SetLastError(DWORD error) {
    zt40::driver::lastError = error;
}

namespace {

// The environment's simulated instrument, while ZT40_SIMULATOR is set ("0" or empty: not set).
std::shared_ptr<zt40::driver::Device> environmentDevice() {
    auto& s = state();
    const char* value = std::getenv("ZT40_SIMULATOR");
    if (value == nullptr || *value == '\0' || std::strcmp(value, "0") == 0) {
        return nullptr;
    }
    if (!s.environmentDevice) {
        s.environmentInstrument = std::make_shared<zt40::sim::SimulatedInstrument>(
            zt40::sim::SimulatedInstrument::scenario(value));
        s.environmentDevice =
            std::make_shared<zt40::driver::SimulatedDevice>(s.environmentInstrument);
    }
    return s.environmentDevice;
}

} // namespace

HDEVINFO SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR /*Enumerator*/, HWND /*hwndParent*/,
                              DWORD Flags) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (ClassGuid == nullptr || (Flags & DIGCF_DEVICEINTERFACE) == 0) {
        zt40::driver::lastError = ERROR_INVALID_PARAMETER;
        return INVALID_HANDLE_VALUE;
    }
    ListObject list;
    list.interfaceClass = *ClassGuid;
    if (zt40::driver::sameGuid(*ClassGuid, zt40::driver::DriverInterfaceClass)) {
        std::vector<std::shared_ptr<zt40::driver::Device>> devices;
        if (auto d = environmentDevice()) {
            devices.push_back(d);
        }
        devices.insert(devices.end(), s.published.begin(), s.published.end());
        if (s.realDevices) {
            const auto real = zt40::driver::usbhost::devices(s.servedIds);
            devices.insert(devices.end(), real.begin(), real.end());
        }
        for (const auto& d : devices) {
            if (d->present()) {
                list.entries.push_back(zt40::driver::entryFor(d));
            }
        }
        // Devices that are gone and no longer open are forgotten; lists still holding them keep
        // them alive until released.
        std::erase_if(s.entries, [&](const auto& item) {
            const auto& entry = item.second;
            return entry->handles == 0 &&
                   std::find(list.entries.begin(), list.entries.end(), entry) == list.entries.end();
        });
    }
    ++s.counters.listsOpen;
    return zt40::driver::newHandle(std::move(list));
}

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA /*DeviceInfoData*/,
                                 const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                 PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
    std::lock_guard lock(state().mutex);
    const auto* list = zt40::driver::find<ListObject>(DeviceInfoSet);
    if (list == nullptr) {
        return zt40::driver::fail(ERROR_INVALID_HANDLE);
    }
    if (InterfaceClassGuid == nullptr) {
        return zt40::driver::fail(ERROR_INVALID_PARAMETER);
    }
    if (DeviceInterfaceData == nullptr ||
        DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        return zt40::driver::fail(ERROR_INVALID_USER_BUFFER);
    }
    if (!zt40::driver::sameGuid(*InterfaceClassGuid, list->interfaceClass) ||
        MemberIndex >= list->entries.size()) {
        return zt40::driver::fail(ERROR_NO_MORE_ITEMS);
    }
    DeviceInterfaceData->InterfaceClassGuid = *InterfaceClassGuid;
    DeviceInterfaceData->Flags = 1; // active
    DeviceInterfaceData->Reserved = MemberIndex + 1;
    return TRUE;
}

BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO DeviceInfoSet,
                                      PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_A DeviceInterfaceDetailData,
                                      DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize,
                                      PSP_DEVINFO_DATA /*DeviceInfoData*/) {
    std::lock_guard lock(state().mutex);
    const auto* list = zt40::driver::find<ListObject>(DeviceInfoSet);
    if (list == nullptr) {
        return zt40::driver::fail(ERROR_INVALID_HANDLE);
    }
    if (DeviceInterfaceData == nullptr ||
        DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) ||
        DeviceInterfaceData->Reserved == 0 ||
        DeviceInterfaceData->Reserved > list->entries.size()) {
        return zt40::driver::fail(ERROR_INVALID_PARAMETER);
    }
    const std::string& path = list->entries[DeviceInterfaceData->Reserved - 1]->path;
    const auto needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) +
                                           path.size() + 1);
    if (RequiredSize != nullptr) {
        *RequiredSize = needed;
    }
    if (DeviceInterfaceDetailData == nullptr) {
        return zt40::driver::fail(DeviceInterfaceDetailDataSize == 0 ? ERROR_INSUFFICIENT_BUFFER
                                                                     : ERROR_INVALID_USER_BUFFER);
    }
    if (DeviceInterfaceDetailDataSize < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) ||
        DeviceInterfaceDetailData->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        return zt40::driver::fail(ERROR_INVALID_USER_BUFFER);
    }
    if (DeviceInterfaceDetailDataSize < needed) {
        return zt40::driver::fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(DeviceInterfaceDetailData->DevicePath, path.c_str(), path.size() + 1);
    return TRUE;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (zt40::driver::find<ListObject>(DeviceInfoSet) == nullptr) {
        return zt40::driver::fail(ERROR_INVALID_HANDLE);
    }
    s.objects.erase(reinterpret_cast<std::uintptr_t>(DeviceInfoSet));
    --s.counters.listsOpen;
    return TRUE;
}

HANDLE CreateFileA(LPCSTR lpFileName, DWORD /*dwDesiredAccess*/, DWORD /*dwShareMode*/,
                   LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE /*hTemplateFile*/) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (lpFileName == nullptr) {
        zt40::driver::lastError = ERROR_INVALID_PARAMETER;
        return INVALID_HANDLE_VALUE;
    }
    auto it = s.entries.find(lpFileName);
    if (it == s.entries.end() || !it->second->device->present()) {
        zt40::driver::lastError = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    if (dwCreationDisposition != OPEN_EXISTING ||
        (dwFlagsAndAttributes & FILE_FLAG_OVERLAPPED) == 0) {
        zt40::driver::lastError = ERROR_INVALID_PARAMETER; // overlapped handles only
        return INVALID_HANDLE_VALUE;
    }
    const std::shared_ptr<DeviceEntry> entry = it->second;
    if (const DWORD error = entry->device->open(); error != 0) {
        zt40::driver::lastError = error;
        return INVALID_HANDLE_VALUE;
    }
    ++entry->handles;
    ++s.counters.filesOpen;
    zt40::driver::record({zt40::driver::JournalEntry::Kind::Open, entry->device->name()});
    return zt40::driver::newHandle(FileObject{entry});
}

BOOL CloseHandle(HANDLE hObject) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.objects.find(reinterpret_cast<std::uintptr_t>(hObject));
    if (it == s.objects.end() || std::holds_alternative<ListObject>(it->second)) {
        return zt40::driver::fail(ERROR_INVALID_HANDLE);
    }
    if (auto* file = std::get_if<FileObject>(&it->second)) {
        FileObject closing = *file;
        StandInAccess::closeFile(hObject, closing);
        --s.counters.filesOpen;
    } else {
        StandInAccess::abandonEvent(hObject);
        --s.counters.eventsOpen;
    }
    s.objects.erase(reinterpret_cast<std::uintptr_t>(hObject));
    return TRUE;
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES /*lpEventAttributes*/, BOOL bManualReset,
                    BOOL bInitialState, LPCSTR lpName) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (lpName != nullptr) {
        zt40::driver::lastError = ERROR_NOT_SUPPORTED; // unnamed events only
        return nullptr;
    }
    if (s.eventFault) {
        if (const DWORD error = s.eventFault(); error != 0) {
            zt40::driver::lastError = error;
            return nullptr;
        }
    }
    ++s.counters.eventsCreated;
    ++s.counters.eventsOpen;
    return zt40::driver::newHandle(EventObject{bInitialState != FALSE, bManualReset != FALSE});
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    std::unique_lock lock(state().mutex);
    if (zt40::driver::find<EventObject>(hHandle) == nullptr) {
        zt40::driver::lastError = ERROR_INVALID_HANDLE;
        return WAIT_FAILED;
    }
    return StandInAccess::waitUntil(
        lock,
        [hHandle] {
            auto* e = zt40::driver::find<EventObject>(hHandle);
            if (e == nullptr) {
                zt40::driver::lastError = ERROR_INVALID_HANDLE;
                return -1;
            }
            if (!e->signalled) {
                return 0;
            }
            if (!e->manualReset) {
                e->signalled = false;
            }
            return 1;
        },
        dwMilliseconds);
}

BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                     LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned,
                     LPOVERLAPPED lpOverlapped) {
    return StandInAccess::control(
        hDevice, dwIoControlCode, static_cast<const std::uint8_t*>(lpInBuffer), nInBufferSize,
        static_cast<std::uint8_t*>(lpOutBuffer), nOutBufferSize, lpBytesReturned, lpOverlapped);
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    return StandInAccess::startTransfer(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead,
                                        lpOverlapped, true);
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    // The device only reads the memory of a write.
    return StandInAccess::startTransfer(hFile, const_cast<void*>(lpBuffer), nNumberOfBytesToWrite,
                                        lpNumberOfBytesWritten, lpOverlapped, false);
}

BOOL GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                         LPDWORD lpNumberOfBytesTransferred, BOOL bWait) {
    std::unique_lock lock(state().mutex);
    if (lpOverlapped == nullptr) {
        return zt40::driver::fail(ERROR_INVALID_PARAMETER);
    }
    if (zt40::driver::find<FileObject>(hFile) == nullptr) {
        return zt40::driver::fail(ERROR_INVALID_HANDLE);
    }
    if (lpOverlapped->Internal == zt40::driver::StatusPending) {
        if (!bWait) {
            return zt40::driver::fail(ERROR_IO_INCOMPLETE);
        }
        const DWORD r = StandInAccess::waitUntil(
            lock,
            [lpOverlapped] {
                return lpOverlapped->Internal != zt40::driver::StatusPending ? 1 : 0;
            },
            INFINITE);
        if (r != WAIT_OBJECT_0) {
            return FALSE;
        }
        // The wait was on the event: an auto-reset event is consumed by it.
        if (auto* e = zt40::driver::find<EventObject>(lpOverlapped->hEvent);
            e != nullptr && !e->manualReset) {
            e->signalled = false;
        }
    }
    if (lpNumberOfBytesTransferred != nullptr) {
        *lpNumberOfBytesTransferred = static_cast<DWORD>(lpOverlapped->InternalHigh);
    }
    if (lpOverlapped->Internal != 0) {
        return zt40::driver::fail(static_cast<DWORD>(lpOverlapped->Internal));
    }
    return TRUE;
}

BOOL CancelIo(HANDLE hFile) {
    return StandInAccess::cancelIo(hFile);
}

void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    lpCriticalSection->impl = new std::recursive_mutex;
}

void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    static_cast<std::recursive_mutex*>(lpCriticalSection->impl)->lock();
}

void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    static_cast<std::recursive_mutex*>(lpCriticalSection->impl)->unlock();
}

void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    delete static_cast<std::recursive_mutex*>(lpCriticalSection->impl);
    lpCriticalSection->impl = nullptr;
}
