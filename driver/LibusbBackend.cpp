#include "LibusbBackend.h"

#include <libusb.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace zt40::driver::usbhost {

namespace {

constexpr DWORD ErrorSemTimeout = 121;

libusb_context* context() {
    // Made once; a system without usable USB support simply has no real devices.
    static libusb_context* ctx = [] {
        libusb_context* c = nullptr;
        return libusb_init(&c) == 0 ? c : nullptr;
    }();
    return ctx;
}

std::atomic<int> inFlight{0};

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

class LibusbDevice;

// One libusb transfer for one stand-in transfer, with its own copy of the data so that libusb
// never touches memory the caller may have given up.
struct Job {
    std::shared_ptr<Transfer> transfer;
    std::vector<std::uint8_t> buffer;
    LibusbDevice* owner;
};

class LibusbDevice : public Device {
public:
    LibusbDevice(libusb_device* device, std::string name)
        : device_(libusb_ref_device(device)), name_(std::move(name)) {}
    ~LibusbDevice() override {
        closeHandle();
        libusb_unref_device(device_);
    }

    void setPresent(bool present) { present_ = present; }
    std::string name() const override { return name_; }
    bool present() override { return present_; }

    // One libusb handle serves every stand-in handle on the device.
    DWORD open() override {
        if (refs_ == 0) {
            const int r = libusb_open(device_, &handle_);
            if (r != 0) {
                handle_ = nullptr;
                return mapError(r);
            }
            libusb_set_auto_detach_kernel_driver(handle_, 1);
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
        if (handle_ == nullptr) {
            return ERROR_INVALID_HANDLE;
        }
        const auto requestType = static_cast<std::uint8_t>(LIBUSB_ENDPOINT_IN | (recipient & 0x1F));
        const int r = libusb_control_transfer(
            handle_, requestType, LIBUSB_REQUEST_GET_DESCRIPTOR,
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
        if (handle_ == nullptr) {
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
        return error;
    }

    DWORD bindPipe(std::uint8_t endpointAddress) override {
        return endpoints_.count(endpointAddress) != 0 ? 0 : ERROR_INVALID_PARAMETER;
    }

    void submit(const std::shared_ptr<Transfer>& transfer) override {
        const auto type = endpoints_.find(transfer->endpoint());
        if (handle_ == nullptr || type == endpoints_.end()) {
            transfer->complete(ERROR_INVALID_HANDLE, 0);
            return;
        }
        if (type->second != LIBUSB_TRANSFER_TYPE_BULK &&
            type->second != LIBUSB_TRANSFER_TYPE_INTERRUPT) {
            transfer->complete(ERROR_NOT_SUPPORTED, 0);
            return;
        }
        auto* job = new Job{transfer, std::vector<std::uint8_t>(transfer->size()), this};
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
            libusb_fill_bulk_transfer(t, handle_, transfer->endpoint(), job->buffer.data(), length,
                                      &LibusbDevice::done, job, 0);
        } else {
            libusb_fill_interrupt_transfer(t, handle_, transfer->endpoint(), job->buffer.data(),
                                           length, &LibusbDevice::done, job, 0);
        }
        if (const int r = libusb_submit_transfer(t); r != 0) {
            libusb_free_transfer(t);
            delete job;
            transfer->complete(mapError(r), 0);
            return;
        }
        jobs_[transfer.get()] = t;
        ++inFlight;
    }

    void cancel(const std::shared_ptr<Transfer>& transfer) override {
        auto it = jobs_.find(transfer.get());
        if (it == jobs_.end()) {
            transfer->complete(ERROR_OPERATION_ABORTED, 0);
            return;
        }
        // The cancelled transfer completes in libusb's event handling, run by the waits.
        libusb_cancel_transfer(it->second);
    }

private:
    DWORD applyConfiguration(const libusb_config_descriptor& config,
                             const std::vector<InterfaceChoice>& interfaces) {
        releaseInterfaces();
        int current = 0;
        if (libusb_get_configuration(handle_, &current) != 0 ||
            current != config.bConfigurationValue) {
            if (const int r = libusb_set_configuration(handle_, config.bConfigurationValue);
                r != 0) {
                return mapError(r);
            }
        }
        for (const auto& choice : interfaces) {
            if (const int r = libusb_claim_interface(handle_, choice.interfaceIndex); r != 0) {
                return mapError(r);
            }
            claimed_.push_back(choice.interfaceIndex);
            if (const int r = libusb_set_interface_alt_setting(handle_, choice.interfaceIndex,
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

    void releaseInterfaces() {
        for (const int itf : claimed_) {
            libusb_release_interface(handle_, itf);
        }
        claimed_.clear();
        endpoints_.clear();
    }

    void closeHandle() {
        if (handle_ == nullptr) {
            return;
        }
        for (auto& [transfer, t] : jobs_) {
            libusb_cancel_transfer(t);
        }
        // libusb must be done with every transfer before its handle closes.
        for (int round = 0; round < 40 && !jobs_.empty(); ++round) {
            handleEvents(50);
        }
        if (!jobs_.empty()) {
            handle_ = nullptr; // a transfer that never ends keeps the handle; better than a crash
            return;
        }
        releaseInterfaces();
        libusb_close(handle_);
        handle_ = nullptr;
    }

    static void LIBUSB_CALL done(libusb_transfer* t) {
        auto* job = static_cast<Job*>(t->user_data);
        {
            std::lock_guard lock(standInMutex());
            const std::shared_ptr<Transfer>& transfer = job->transfer;
            const auto count = static_cast<std::uint32_t>(std::max(t->actual_length, 0));
            if (transfer->isIn() && t->status == LIBUSB_TRANSFER_COMPLETED &&
                transfer->data() != nullptr && count > 0) {
                std::memcpy(transfer->data(), job->buffer.data(),
                            std::min(count, transfer->size()));
            }
            transfer->complete(mapStatus(t->status), count);
            job->owner->jobs_.erase(transfer.get());
        }
        libusb_free_transfer(t);
        delete job;
        --inFlight;
    }

    libusb_device* device_;
    std::string name_;
    bool present_ = true;
    libusb_device_handle* handle_ = nullptr;
    int refs_ = 0;
    std::vector<int> claimed_;
    std::map<std::uint8_t, int> endpoints_; // address -> transfer type
    std::map<Transfer*, libusb_transfer*> jobs_;
};

// Devices stay known for the whole run, so that a late completion always finds its owner.
std::map<std::string, std::shared_ptr<LibusbDevice>>& known() {
    static auto* map = new std::map<std::string, std::shared_ptr<LibusbDevice>>;
    return *map;
}

} // namespace

std::vector<std::shared_ptr<Device>>
devices(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& served) {
    std::vector<std::shared_ptr<Device>> result;
    libusb_context* ctx = context();
    if (ctx == nullptr || served.empty()) {
        return result;
    }
    for (auto& [name, device] : known()) {
        device->setPresent(false);
    }
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(ctx, &list);
    for (ssize_t i = 0; i < n; ++i) {
        libusb_device_descriptor d{};
        if (libusb_get_device_descriptor(list[i], &d) != 0 ||
            std::find(served.begin(), served.end(), std::pair{d.idVendor, d.idProduct}) ==
                served.end()) {
            continue;
        }
        // Bus and address: a device plugged in again gets a new address, hence a new object.
        char name[64];
        std::snprintf(name, sizeof name, "usb-%04x-%04x-%03u-%03u", d.idVendor, d.idProduct,
                      libusb_get_bus_number(list[i]), libusb_get_device_address(list[i]));
        auto& slot = known()[name];
        if (!slot) {
            slot = std::make_shared<LibusbDevice>(list[i], name);
        }
        slot->setPresent(true);
        result.push_back(slot);
    }
    if (n >= 0) {
        libusb_free_device_list(list, 1);
    }
    return result;
}

bool busy() {
    return inFlight.load() > 0;
}

void handleEvents(std::uint32_t maxMs) {
    if (libusb_context* ctx = context()) {
        timeval tv{static_cast<time_t>(maxMs / 1000),
                   static_cast<suseconds_t>((maxMs % 1000) * 1000)};
        libusb_handle_events_timeout_completed(ctx, &tv, nullptr);
    }
}

} // namespace zt40::driver::usbhost
