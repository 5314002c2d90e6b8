#include "LibusbBackend.h"

#include "Diagnostics.h"

#include <libusb.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace zt40::driver {

namespace {

constexpr DWORD ErrorSemTimeout = 121;
// How long closing waits for cancelled transfers before it takes the interfaces back from them.
constexpr int CloseRounds = 20;
constexpr std::uint32_t CloseRoundMs = 50;

libusb_context* context() {
    // Made once; a system without usable USB support simply has no real devices.
    static libusb_context* ctx = [] {
        libusb_context* c = nullptr;
        return libusb_init(&c) == 0 ? c : nullptr;
    }();
    return ctx;
}

std::atomic<int> inFlight{0};
std::atomic<int> alive{0}; // LibusbDevice objects, each holding a libusb_device

DWORD mapError(int r) {
    switch (r) {
    case LIBUSB_ERROR_ACCESS:
        return ERROR_ACCESS_DENIED;
    case LIBUSB_ERROR_NO_DEVICE:
        return ERROR_DEVICE_NOT_CONNECTED;
    case LIBUSB_ERROR_NOT_FOUND:
        return ERROR_FILE_NOT_FOUND;
    case LIBUSB_ERROR_BUSY:
        return ERROR_BUSY;
    case LIBUSB_ERROR_TIMEOUT:
        return ErrorSemTimeout;
    case LIBUSB_ERROR_NO_MEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case LIBUSB_ERROR_NOT_SUPPORTED:
        return ERROR_NOT_SUPPORTED;
    case LIBUSB_ERROR_INVALID_PARAM:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_GEN_FAILURE;
    }
}

DWORD mapStatus(libusb_transfer_status status) {
    switch (status) {
    case LIBUSB_TRANSFER_COMPLETED:
        return 0;
    case LIBUSB_TRANSFER_CANCELLED:
        return ERROR_OPERATION_ABORTED;
    case LIBUSB_TRANSFER_NO_DEVICE:
        return ERROR_DEVICE_NOT_CONNECTED;
    case LIBUSB_TRANSFER_TIMED_OUT:
        return ErrorSemTimeout;
    default:
        return ERROR_GEN_FAILURE;
    }
}

// One open libusb handle with what it holds: claimed interfaces and transfers in flight.
// Transfers keep it alive, so a completion that comes after the device was closed or has
// gone still finds it.
struct OpenHandle {
    libusb_device_handle* handle = nullptr;
    std::vector<int> claimed;
    std::map<Transfer*, libusb_transfer*> jobs;

    void releaseInterfaces() {
        for (const int itf : claimed) {
            libusb_release_interface(handle, itf);
        }
        claimed.clear();
    }
};

// Handles closed while a cancelled transfer had not yet come back: their interfaces are
// released at once, the handle itself once libusb has returned the last transfer.
std::vector<std::shared_ptr<OpenHandle>>& closing() {
    static auto* list = new std::vector<std::shared_ptr<OpenHandle>>;
    return *list;
}

void sweepClosing() {
    std::erase_if(closing(), [](const std::shared_ptr<OpenHandle>& h) {
        if (!h->jobs.empty()) {
            return false;
        }
        libusb_close(h->handle);
        return true;
    });
}

// One libusb transfer for one stand-in transfer, with its own copy of the data so that libusb
// never touches memory the caller may have given up.
struct Job {
    std::shared_ptr<Transfer> transfer;
    std::vector<std::uint8_t> buffer;
    std::shared_ptr<OpenHandle> owner;
};

void LIBUSB_CALL transferDone(libusb_transfer* t) {
    auto* job = static_cast<Job*>(t->user_data);
    {
        std::lock_guard lock(standInMutex());
        const std::shared_ptr<Transfer>& transfer = job->transfer;
        const auto count = static_cast<std::uint32_t>(std::max(t->actual_length, 0));
        if (transfer->isIn() && t->status == LIBUSB_TRANSFER_COMPLETED &&
            transfer->data() != nullptr && count > 0) {
            std::memcpy(transfer->data(), job->buffer.data(), std::min(count, transfer->size()));
        }
        transfer->complete(mapStatus(t->status), count);
        job->owner->jobs.erase(transfer.get());
    }
    libusb_free_transfer(t);
    delete job;
    --inFlight;
}

// Why a connected instrument cannot be used, each told once while it lasts.
enum class Trouble { None, Access, Busy, KernelDriver, Other };

class LibusbDevice : public Device {
public:
    LibusbDevice(libusb_device* device, std::string name)
        : device_(libusb_ref_device(device)), name_(std::move(name)) {
        char node[32];
        std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", libusb_get_bus_number(device),
                      libusb_get_device_address(device));
        node_ = node;
        ++alive;
    }
    ~LibusbDevice() override {
        closeHandle();
        libusb_unref_device(device_);
        --alive;
    }
    LibusbDevice(const LibusbDevice&) = delete;
    LibusbDevice& operator=(const LibusbDevice&) = delete;

    libusb_device* usbDevice() const { return device_; }
    void setPresent(bool present) { present_ = present; }
    std::string name() const override { return name_; }
    bool present() override { return present_; }

    // One libusb handle serves every stand-in handle on the device.
    DWORD open() override {
        if (refs_ == 0) {
            libusb_device_handle* handle = nullptr;
            if (const int r = libusb_open(device_, &handle); r != 0) {
                report(r == LIBUSB_ERROR_ACCESS ? Trouble::Access : Trouble::Other, r);
                return mapError(r);
            }
            libusb_set_auto_detach_kernel_driver(handle, 1);
            open_ = std::make_shared<OpenHandle>();
            open_->handle = handle;
        }
        ++refs_;
        return 0;
    }

    void close() override {
        if (refs_ > 0 && --refs_ == 0) {
            closeHandle();
        }
    }

    DWORD getDescriptor(std::uint32_t recipient, std::uint8_t type, std::uint8_t index,
                        std::uint16_t languageId, std::uint8_t* out, std::uint32_t size,
                        std::uint32_t& returned) override {
        returned = 0;
        if (!open_) {
            return ERROR_INVALID_HANDLE;
        }
        const auto requestType = static_cast<std::uint8_t>(LIBUSB_ENDPOINT_IN | (recipient & 0x1F));
        const int r = libusb_control_transfer(
            open_->handle, requestType, LIBUSB_REQUEST_GET_DESCRIPTOR,
            static_cast<std::uint16_t>((type << 8) | index), languageId, out,
            static_cast<std::uint16_t>(std::min<std::uint32_t>(size, 0xFFFF)), 5000);
        if (r < 0) {
            return mapError(r);
        }
        returned = static_cast<std::uint32_t>(r);
        return 0;
    }

    DWORD setConfiguration(std::uint16_t configurationIndex,
                           const std::vector<InterfaceChoice>& interfaces) override {
        if (!open_) {
            return ERROR_INVALID_HANDLE;
        }
        libusb_config_descriptor* config = nullptr;
        if (const int r = libusb_get_config_descriptor(
                device_, static_cast<std::uint8_t>(configurationIndex), &config);
            r != 0) {
            return mapError(r);
        }
        const DWORD error = applyConfiguration(*config, interfaces);
        libusb_free_config_descriptor(config);
        if (error == 0) {
            trouble_ = Trouble::None;
        }
        return error;
    }

    DWORD bindPipe(std::uint8_t endpointAddress) override {
        return endpoints_.count(endpointAddress) != 0 ? 0 : ERROR_INVALID_PARAMETER;
    }

    void submit(const std::shared_ptr<Transfer>& transfer) override {
        const auto type = endpoints_.find(transfer->endpoint());
        if (!open_ || type == endpoints_.end()) {
            transfer->complete(ERROR_INVALID_HANDLE, 0);
            return;
        }
        if (type->second != LIBUSB_TRANSFER_TYPE_BULK &&
            type->second != LIBUSB_TRANSFER_TYPE_INTERRUPT) {
            transfer->complete(ERROR_NOT_SUPPORTED, 0);
            return;
        }
        auto* job = new Job{transfer, std::vector<std::uint8_t>(transfer->size()), open_};
        if (!transfer->isIn() && transfer->size() > 0) {
            std::memcpy(job->buffer.data(), transfer->data(), transfer->size());
        }
        libusb_transfer* t = libusb_alloc_transfer(0);
        if (t == nullptr) {
            delete job;
            transfer->complete(ERROR_NOT_ENOUGH_MEMORY, 0);
            return;
        }
        const int length = static_cast<int>(job->buffer.size());
        if (type->second == LIBUSB_TRANSFER_TYPE_BULK) {
            libusb_fill_bulk_transfer(t, open_->handle, transfer->endpoint(), job->buffer.data(),
                                      length, &transferDone, job, 0);
        } else {
            libusb_fill_interrupt_transfer(t, open_->handle, transfer->endpoint(),
                                           job->buffer.data(), length, &transferDone, job, 0);
        }
        if (const int r = libusb_submit_transfer(t); r != 0) {
            libusb_free_transfer(t);
            delete job;
            transfer->complete(mapError(r), 0);
            return;
        }
        open_->jobs[transfer.get()] = t;
        ++inFlight;
    }

    void cancel(const std::shared_ptr<Transfer>& transfer) override {
        if (!open_ || open_->jobs.count(transfer.get()) == 0) {
            transfer->complete(ERROR_OPERATION_ABORTED, 0);
            return;
        }
        // The cancelled transfer completes in libusb's event handling, run by the waits.
        libusb_cancel_transfer(open_->jobs[transfer.get()]);
    }

private:
    DWORD applyConfiguration(const libusb_config_descriptor& config,
                             const std::vector<InterfaceChoice>& interfaces) {
        open_->releaseInterfaces();
        endpoints_.clear();
        libusb_device_handle* handle = open_->handle;
        int current = 0;
        if (libusb_get_configuration(handle, &current) != 0 ||
            current != config.bConfigurationValue) {
            if (const int r = libusb_set_configuration(handle, config.bConfigurationValue);
                r != 0) {
                report(r == LIBUSB_ERROR_BUSY ? Trouble::Busy : Trouble::Other, r);
                return mapError(r);
            }
        }
        for (const auto& choice : interfaces) {
            if (const int r = libusb_claim_interface(handle, choice.interfaceIndex); r != 0) {
                // With automatic detaching, a kernel driver that will not let go shows here too.
                report(r == LIBUSB_ERROR_BUSY ? Trouble::Busy : Trouble::KernelDriver, r);
                return mapError(r);
            }
            open_->claimed.push_back(choice.interfaceIndex);
            if (const int r = libusb_set_interface_alt_setting(handle, choice.interfaceIndex,
                                                               choice.alternateSetting);
                r != 0) {
                return mapError(r);
            }
            noteEndpoints(config, choice);
        }
        return 0;
    }

    void noteEndpoints(const libusb_config_descriptor& config, const InterfaceChoice& choice) {
        for (int i = 0; i < config.bNumInterfaces; ++i) {
            const libusb_interface& itf = config.interface[i];
            for (int a = 0; a < itf.num_altsetting; ++a) {
                const libusb_interface_descriptor& alt = itf.altsetting[a];
                if (alt.bInterfaceNumber != choice.interfaceIndex ||
                    alt.bAlternateSetting != choice.alternateSetting) {
                    continue;
                }
                for (int e = 0; e < alt.bNumEndpoints; ++e) {
                    endpoints_[alt.endpoint[e].bEndpointAddress] =
                        alt.endpoint[e].bmAttributes & 0x03;
                }
            }
        }
    }

    // libusb must be done with every transfer before its handle closes. Cancelled transfers
    // are awaited for a while; then releasing the interfaces ends them in the kernel, and a
    // handle whose transfers are still not back is closed later, with nothing claimed.
    void closeHandle() {
        if (!open_) {
            return;
        }
        const std::shared_ptr<OpenHandle> handle = std::move(open_);
        open_.reset();
        endpoints_.clear();
        for (auto& [transfer, t] : handle->jobs) {
            libusb_cancel_transfer(t);
        }
        for (int round = 0; round < CloseRounds && !handle->jobs.empty(); ++round) {
            handleLibusbEvents(CloseRoundMs);
        }
        handle->releaseInterfaces();
        for (int round = 0; round < CloseRounds && !handle->jobs.empty(); ++round) {
            handleLibusbEvents(CloseRoundMs);
        }
        if (handle->jobs.empty()) {
            libusb_close(handle->handle);
        } else {
            closing().push_back(handle);
        }
    }

    void report(Trouble trouble, int libusbError) {
        if (trouble == trouble_) {
            return;
        }
        trouble_ = trouble;
        const std::string where = "The instrument at " + node_;
        const std::string readme =
            "; see \"Using it with a real instrument\" in the README of zt40.";
        switch (trouble) {
        case Trouble::Access:
            diagnose(where +
                     " cannot be opened: permission denied. Install the udev rule 70-zt40.rules "
                     "in /etc/udev/rules.d and plug the instrument in again" +
                     readme);
            break;
        case Trouble::Busy:
            diagnose(where + " is in use: another program holds its interface. Close that program" +
                     readme);
            break;
        case Trouble::KernelDriver:
            diagnose(where + " is held by a kernel driver that cannot be detached (" +
                     libusb_error_name(libusbError) + ")" + readme);
            break;
        case Trouble::Other:
            diagnose(where + " cannot be opened (" + libusb_error_name(libusbError) + ")" + readme);
            break;
        case Trouble::None:
            break;
        }
    }

    libusb_device* device_;
    std::string name_;
    std::string node_;
    bool present_ = true;
    std::shared_ptr<OpenHandle> open_;
    int refs_ = 0;
    std::map<std::uint8_t, int> endpoints_; // address -> transfer type
    Trouble trouble_ = Trouble::None;
};

// The devices of the last enumeration. libusb makes a new libusb_device for every arrival,
// even at an address used before, so that object is the device's identity.
std::vector<std::shared_ptr<LibusbDevice>>& known() {
    static auto* list = new std::vector<std::shared_ptr<LibusbDevice>>;
    return *list;
}

} // namespace

std::vector<std::shared_ptr<Device>>
libusbDevices(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& served) {
    std::vector<std::shared_ptr<Device>> result;
    libusb_context* ctx = context();
    if (ctx == nullptr || served.empty()) {
        return result;
    }
    // libusb queues a message, holding a device reference, for each arrival and removal until
    // events are handled; without transfers in flight nobody else would.
    handleLibusbEvents(0);
    sweepClosing();
    std::vector<std::shared_ptr<LibusbDevice>> found;
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(ctx, &list);
    for (ssize_t i = 0; i < n; ++i) {
        libusb_device_descriptor d{};
        if (libusb_get_device_descriptor(list[i], &d) != 0 ||
            std::find(served.begin(), served.end(), std::pair{d.idVendor, d.idProduct}) ==
                served.end()) {
            continue;
        }
        auto& all = known();
        auto same = std::find_if(all.begin(), all.end(),
                                 [&](const auto& k) { return k->usbDevice() == list[i]; });
        if (same != all.end()) {
            found.push_back(*same);
            continue;
        }
        char name[64];
        std::snprintf(name, sizeof name, "usb-%04x-%04x-%03u-%03u", d.idVendor, d.idProduct,
                      libusb_get_bus_number(list[i]), libusb_get_device_address(list[i]));
        found.push_back(std::make_shared<LibusbDevice>(list[i], name));
    }
    if (n >= 0) {
        libusb_free_device_list(list, 1);
    }
    // What is no longer there is forgotten; handles still open on it keep it until closed.
    for (const auto& old : known()) {
        if (std::find(found.begin(), found.end(), old) == found.end()) {
            old->setPresent(false);
        }
    }
    known() = found;
    result.assign(found.begin(), found.end());
    return result;
}

bool libusbBusy() {
    return inFlight.load() > 0;
}

void handleLibusbEvents(std::uint32_t maxMs) {
    if (libusb_context* ctx = context()) {
        timeval tv{static_cast<time_t>(maxMs / 1000),
                   static_cast<suseconds_t>((maxMs % 1000) * 1000)};
        libusb_handle_events_timeout_completed(ctx, &tv, nullptr);
    }
}

LibusbStats libusbStats() {
    std::lock_guard lock(standInMutex());
    return {known().size(), static_cast<std::size_t>(alive.load()), closing().size(),
            static_cast<std::size_t>(inFlight.load())};
}

} // namespace zt40::driver
