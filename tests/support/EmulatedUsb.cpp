#include "EmulatedUsb.h"

#include "InstrumentUsbIds.h"

#include <umockdev.h>

#include <linux/usbdevice_fs.h>
#include <sys/fsuid.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace zt40::test {

namespace {

using SteadyTime = std::chrono::steady_clock::time_point;

constexpr std::uint8_t InEndpoint = InstrumentUsb::InEndpoint;
constexpr std::uint8_t OutEndpoint = InstrumentUsb::OutEndpoint;

std::vector<std::uint8_t> deviceDescriptor(std::uint16_t vendor, std::uint16_t product) {
    return {18,
            1,
            0x00,
            0x02,
            0,
            0,
            0,
            8,
            static_cast<std::uint8_t>(vendor & 0xFF),
            static_cast<std::uint8_t>(vendor >> 8),
            static_cast<std::uint8_t>(product & 0xFF),
            static_cast<std::uint8_t>(product >> 8),
            0x00,
            0x01,
            0,
            0,
            0,
            1};
}

// Configuration 1: interface 0 with interrupt endpoints 0x81 IN and 0x02 OUT of 8 bytes.
std::vector<std::uint8_t> configurationDescriptor() {
    return {9, 2, 32,          0, 1, 1,    0,  0x80, 50, // configuration
            9, 4, 0,           0, 2, 0xFF, 0,  0,    0,  // interface 0
            7, 5, InEndpoint,  3, 8, 0,    10,           // IN
            7, 5, OutEndpoint, 3, 8, 0,    10};          // OUT
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    char b[3];
    for (const std::uint8_t c : bytes) {
        std::snprintf(b, sizeof b, "%02x", c);
        out += b;
    }
    return out;
}

} // namespace

// One submitted URB as the kernel holds it: the client's record and buffer (resolved copies
// that umockdev writes back), and when and how it ends.
struct EmulatedDevice::Urb {
    UMockdevIoctlData* record = nullptr;
    UMockdevIoctlData* buffer = nullptr;
    gulong clientAddress = 0;
    std::uint8_t endpoint = 0;
    bool finished = false;
    SteadyTime due{};
    int status = 0;
    int actual = 0;

    ~Urb() {
        if (buffer != nullptr) {
            g_object_unref(buffer);
        }
        if (record != nullptr) {
            g_object_unref(record);
        }
    }
    void finish(int st, int act, SteadyTime at) {
        finished = true;
        status = st;
        actual = act;
        due = at;
    }
};

struct EmulatedDevice::Client {
    std::vector<std::unique_ptr<Urb>> urbs;
};

EmulatedDevice::EmulatedDevice(std::uint16_t vendorId, std::uint16_t productId)
    : vendorId_(vendorId), productId_(productId) {}

EmulatedDevice::~EmulatedDevice() {
    for (auto& [client, state] : clients_) {
        g_object_unref(client);
    }
}

void EmulatedDevice::setCancelLatencyMs(std::uint32_t ms) {
    std::lock_guard lock(mutex_);
    cancelLatencyMs_ = ms;
}

void EmulatedDevice::withholdReplies(int count) {
    std::lock_guard lock(mutex_);
    withheld_ = count;
}

void EmulatedDevice::setHolder(Holder holder) {
    std::lock_guard lock(mutex_);
    holder_ = holder;
}

int EmulatedDevice::discards() const {
    std::lock_guard lock(mutex_);
    return discards_;
}

int EmulatedDevice::openFiles() const {
    std::lock_guard lock(mutex_);
    forgetClosedFiles();
    return static_cast<int>(clients_.size());
}

bool EmulatedDevice::claimed() const {
    std::lock_guard lock(mutex_);
    forgetClosedFiles();
    return claimedBy_ != nullptr;
}

void EmulatedDevice::clientOpened(void* client) {
    std::lock_guard lock(mutex_);
    g_object_ref(client);
    clients_[client] = std::make_unique<Client>();
}

// umockdev tells of a closed file through the client's state only: files closed since the
// last look are dropped here, with their claim, as the kernel does on close.
void EmulatedDevice::forgetClosedFiles() const {
    for (auto it = clients_.begin(); it != clients_.end();) {
        if (umockdev_ioctl_client_get_connected(static_cast<UMockdevIoctlClient*>(it->first))) {
            ++it;
            continue;
        }
        if (claimedBy_ == it->first) {
            claimedBy_ = nullptr;
        }
        g_object_unref(it->first);
        it = clients_.erase(it);
    }
}

void EmulatedDevice::unplugged() {
    std::lock_guard lock(mutex_);
    present_ = false;
    instrument_.unplug();
    // The kernel ends every URB of a device that is gone.
    const auto now = std::chrono::steady_clock::now();
    for (auto& [id, client] : clients_) {
        for (auto& urb : client->urbs) {
            if (!urb->finished) {
                urb->finish(-ESHUTDOWN, 0, now);
            }
        }
    }
}

long EmulatedDevice::ioctl(void* clientId, unsigned long request, void* argPtr, int& error) {
    auto* arg = static_cast<UMockdevIoctlData*>(argPtr);
    std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    auto found = clients_.find(clientId);
    if (found == clients_.end()) {
        error = ENODEV;
        return -1;
    }
    Client& client = *found->second;

    if (request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) {
        for (auto it = client.urbs.begin(); it != client.urbs.end(); ++it) {
            Urb& urb = **it;
            if (!urb.finished || urb.due > now) {
                continue;
            }
            auto* record = reinterpret_cast<usbdevfs_urb*>(urb.record->data);
            record->status = urb.status;
            record->actual_length = urb.actual;
            UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
            umockdev_ioctl_data_set_ptr(slot, 0, urb.record);
            g_object_unref(slot);
            client.urbs.erase(it);
            return 0;
        }
        error = present_ ? EAGAIN : ENODEV;
        return -1;
    }
    if (!present_) {
        error = ENODEV;
        return -1;
    }

    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr);
        const guint32 value = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                              USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
        std::memcpy(caps->data, &value, sizeof value);
        g_object_unref(caps);
        return 0;
    }
    case USBDEVFS_GETDRIVER:
    case USBDEVFS_IOCTL:                                           // detaching a kernel driver
        error = holder_ == Holder::KernelDriver ? EPERM : ENODATA; // ENODATA: none bound
        return -1;
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
        return 0;
    case USBDEVFS_CLAIMINTERFACE:
        forgetClosedFiles();
        if ((claimedBy_ != nullptr && claimedBy_ != clientId) || holder_ != Holder::Nobody) {
            error = EBUSY;
            return -1;
        }
        claimedBy_ = clientId;
        return 0;
    case USBDEVFS_RELEASEINTERFACE:
        if (claimedBy_ != clientId) {
            error = EINVAL;
            return -1;
        }
        claimedBy_ = nullptr;
        // Releasing an interface kills what is still in flight on it, discarded or not.
        for (auto& urb : client.urbs) {
            if (!urb->finished) {
                urb->finish(-ENOENT, 0, now);
            }
            urb->due = std::min(urb->due, now);
        }
        return 0;
    case USBDEVFS_DISCARDURB: {
        gulong address = 0;
        std::memcpy(&address, arg->data, sizeof address);
        for (auto& urb : client.urbs) {
            if (urb->clientAddress == address && !urb->finished) {
                ++discards_;
                urb->finish(-ENOENT, 0, now + std::chrono::milliseconds(cancelLatencyMs_));
                return 0;
            }
        }
        error = EINVAL; // finished already
        return -1;
    }
    case USBDEVFS_SUBMITURB:
        break;
    default:
        error = ENOTTY;
        return -1;
    }

    // USBDEVFS_SUBMITURB
    auto urb = std::make_unique<Urb>();
    std::memcpy(&urb->clientAddress, arg->data, sizeof urb->clientAddress);
    urb->record = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    auto* record = reinterpret_cast<usbdevfs_urb*>(urb->record->data);
    urb->endpoint = record->endpoint;
    const int length = std::max(record->buffer_length, 0);
    urb->buffer = umockdev_ioctl_data_resolve(urb->record, offsetof(usbdevfs_urb, buffer),
                                              static_cast<gsize>(length), nullptr);
    std::uint8_t* data = urb->buffer->data;
    const bool instrument =
        vendorId_ == InstrumentUsb::VendorId && productId_ == InstrumentUsb::ProductId;

    if (record->type == USBDEVFS_URB_TYPE_CONTROL && length >= 8) {
        const std::uint8_t type = data[3];
        const int wanted = std::min(data[6] | (data[7] << 8), length - 8);
        std::vector<std::uint8_t> reply;
        if (data[0] == 0x80 && data[1] == 6 && type == 1) {
            reply = deviceDescriptor(vendorId_, productId_);
        } else if (data[0] == 0x80 && data[1] == 6 && type == 2) {
            reply = configurationDescriptor();
        }
        if (reply.empty()) {
            urb->finish(-EPIPE, 0, now); // stall: request not supported
        } else {
            const int n = std::min(static_cast<int>(reply.size()), wanted);
            std::memcpy(data + 8, reply.data(), static_cast<std::size_t>(n));
            urb->finish(0, n, now);
        }
    } else if (instrument &&
               (record->type == USBDEVFS_URB_TYPE_INTERRUPT ||
                record->type == USBDEVFS_URB_TYPE_BULK) &&
               (urb->endpoint == InEndpoint || urb->endpoint == OutEndpoint)) {
        std::size_t moved = 0;
        const bool withheld = urb->endpoint == InEndpoint && withheld_ > 0;
        if (withheld) {
            --withheld_;
        }
        const simulator::Completion c =
            withheld ? simulator::Completion::Never
            : urb->endpoint == InEndpoint
                ? instrument_.read(data, static_cast<std::size_t>(length), moved)
                : instrument_.write(data, static_cast<std::size_t>(length), moved);
        if (c == simulator::Completion::Done) {
            urb->finish(0, static_cast<int>(moved), now);
        }
    } else {
        error = ENOENT; // no such endpoint
        return -1;
    }
    client.urbs.push_back(std::move(urb));
    return 0;
}

// One device node with its usbfs emulation; whatever device is plugged in there now answers.
struct EmulatedUsbBus::Slot {
    std::string node;
    std::string sysPath;
    UMockdevIoctlBase* handler = nullptr;
    std::mutex mutex;
    EmulatedDevice* device = nullptr;
    // Files opened on an earlier device at this node keep talking to that one.
    std::map<void*, EmulatedDevice*> clients;

    EmulatedDevice* deviceOf(void* client) {
        std::lock_guard lock(mutex);
        auto it = clients.find(client);
        return it == clients.end() ? nullptr : it->second;
    }

    static gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
        auto* slot = static_cast<Slot*>(self);
        int error = 0;
        long result = -1;
        if (EmulatedDevice* device = slot->deviceOf(client)) {
            result = device->ioctl(client, umockdev_ioctl_client_get_request(client),
                                   umockdev_ioctl_client_get_arg(client), error);
        } else {
            error = ENODEV;
        }
        umockdev_ioctl_client_complete(client, result, result < 0 ? error : 0);
        return TRUE;
    }
    static void onConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
        auto* slot = static_cast<Slot*>(self);
        std::lock_guard lock(slot->mutex);
        std::erase_if(slot->clients, [](const auto& c) {
            if (umockdev_ioctl_client_get_connected(static_cast<UMockdevIoctlClient*>(c.first))) {
                return false;
            }
            g_object_unref(c.first);
            return true;
        });
        g_object_ref(client);
        slot->clients[client] = slot->device;
        if (slot->device != nullptr) {
            slot->device->clientOpened(client);
        }
    }
};

EmulatedUsbBus::EmulatedUsbBus() : testbed_(umockdev_testbed_new()) {
    if (!umockdev_in_mock_environment()) {
        throw std::runtime_error("run this test with libumockdev-preload (umockdev-wrapper)");
    }
}

EmulatedUsbBus::~EmulatedUsbBus() {
    for (auto& [node, slot] : slots_) {
        if (slot->device != nullptr) {
            unplug(*slot->device);
        }
        if (slot->handler != nullptr) {
            umockdev_testbed_detach_ioctl(testbed_, node.c_str(), nullptr);
            g_object_unref(slot->handler);
        }
    }
    g_object_unref(testbed_);
}

std::string EmulatedUsbBus::nodeOf(int bus, int address) {
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", bus, address);
    return node;
}

void EmulatedUsbBus::plugIn(EmulatedDevice& device, int bus, int address, bool accessible) {
    const std::string node = nodeOf(bus, address);
    auto& slot = slots_[node];
    const bool fresh = !slot;
    if (!accessible && !fresh && slot->handler != nullptr) {
        throw std::logic_error("a node without access must not have been emulated before");
    }
    if (fresh) {
        slot = std::make_unique<Slot>();
        slot->node = node;
    }
    char sysPath[64];
    std::snprintf(sysPath, sizeof sysPath, "/sys/devices/pci0000:00/usb%d/%d-%d", bus, bus,
                  address);
    slot->sysPath = sysPath;
    std::vector<std::uint8_t> descriptors = deviceDescriptor(device.vendorId_, device.productId_);
    const auto config = configurationDescriptor();
    descriptors.insert(descriptors.end(), config.begin(), config.end());
    char text[1024];
    std::snprintf(text, sizeof text,
                  "P: %s\n%sE: SUBSYSTEM=usb\nE: DEVNAME=%s\nE: DEVTYPE=usb_device\n"
                  // sysfs attributes end with a newline, written escaped
                  "E: BUSNUM=%03d\nE: DEVNUM=%03d\nA: busnum=%d\\n\nA: devnum=%d\\n\n"
                  "A: speed=12\\n\nA: bConfigurationValue=1\\n\nA: idVendor=%04x\\n\n"
                  "A: idProduct=%04x\\n\n"
                  "H: descriptors=%s\n",
                  sysPath + 4, fresh ? ("N: " + node.substr(5) + "\n").c_str() : "", node.c_str(),
                  bus, address, bus, address, device.vendorId_, device.productId_,
                  hex(descriptors).c_str());
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed_, text, &error)) {
        const std::string message = error->message;
        g_error_free(error);
        throw std::runtime_error("umockdev: " + message);
    }
    {
        std::lock_guard lock(device.mutex_);
        device.present_ = true;
        device.instrument_.plugIn();
    }
    {
        std::lock_guard lock(slot->mutex);
        slot->device = &device;
    }
    if (!accessible) {
        // A plain file nobody may open: the open fails before any request could be made.
        // The test bed and umockdev's own socket stay usable, so that the open fails at the
        // node alone.
        gchar* root = umockdev_testbed_get_root_dir(testbed_);
        ::chmod(root, 0755);
        ::chmod((std::string(root) + "/ioctl").c_str(), 0755);
        ::chmod((std::string(root) + "/ioctl/_default").c_str(), 0666);
        ::chmod((std::string(root) + node).c_str(), 0);
        g_free(root);
    } else if (slot->handler == nullptr) {
        slot->handler = umockdev_ioctl_base_new();
        g_signal_connect(slot->handler, "handle-ioctl", G_CALLBACK(&Slot::onIoctl), slot.get());
        g_signal_connect(slot->handler, "client-connected", G_CALLBACK(&Slot::onConnected),
                         slot.get());
        if (!umockdev_testbed_attach_ioctl(testbed_, node.c_str(), slot->handler, &error)) {
            const std::string message = error->message;
            g_error_free(error);
            throw std::runtime_error("umockdev: " + message);
        }
    }
    umockdev_testbed_uevent(testbed_, sysPath, "add");
}

void EmulatedUsbBus::unplug(EmulatedDevice& device) {
    for (auto& [node, slot] : slots_) {
        if (slot->device != &device) {
            continue;
        }
        device.unplugged();
        {
            std::lock_guard lock(slot->mutex);
            slot->device = nullptr;
        }
        umockdev_testbed_uevent(testbed_, slot->sysPath.c_str(), "remove");
        umockdev_testbed_remove_device(testbed_, slot->sysPath.c_str());
    }
}

WithoutFileOverride::WithoutFileOverride() : previous_(setfsuid(65534)) {}

WithoutFileOverride::~WithoutFileOverride() {
    setfsuid(static_cast<uid_t>(previous_));
}

EmulatedUsbBus& emulatedBus() {
    static auto* bus = new EmulatedUsbBus;
    return *bus;
}

int openFileDescriptors() {
    int n = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++n;
    }
    return n;
}

} // namespace zt40::test
