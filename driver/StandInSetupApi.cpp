// Device lists of the driver's interface class, as SetupAPI gives them: the environment's
// simulated instrument, published devices and real USB devices.
#include "LibusbBackend.h"
#include "SimulatedDevice.h"
#include "SimulatedInstrument.h"
#include "StandInInternals.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>

namespace zt40::driver {

namespace {

// The environment's simulated instrument, while ZT40_SIMULATOR is set ("0" or empty: not set).
std::shared_ptr<Device> environmentDevice() {
    auto& s = state();
    const char* value = std::getenv("ZT40_SIMULATOR");
    if (value == nullptr || *value == '\0' || std::strcmp(value, "0") == 0) {
        return nullptr;
    }
    if (!s.environmentDevice) {
        s.environmentInstrument = std::make_shared<simulator::SimulatedInstrument>(
            simulator::SimulatedInstrument::scenario(value));
        s.environmentDevice =
            std::make_shared<SimulatedDevice>(s.environmentInstrument);
    }
    return s.environmentDevice;
}

} // namespace

HDEVINFO SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR /*Enumerator*/, HWND /*hwndParent*/,
                              DWORD Flags) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (ClassGuid == nullptr || (Flags & DIGCF_DEVICEINTERFACE) == 0) {
        lastError = ERROR_INVALID_PARAMETER;
        return INVALID_HANDLE_VALUE;
    }
    ListObject list;
    list.interfaceClass = *ClassGuid;
    if (sameGuid(*ClassGuid, DriverInterfaceClass)) {
        std::vector<std::shared_ptr<Device>> devices;
        if (auto d = environmentDevice()) {
            devices.push_back(d);
        }
        devices.insert(devices.end(), s.published.begin(), s.published.end());
        if (s.realDevices) {
            const auto real = libusbDevices(s.servedIds);
            devices.insert(devices.end(), real.begin(), real.end());
        }
        for (const auto& d : devices) {
            if (d->present()) {
                list.entries.push_back(entryFor(d));
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
    return newHandle(std::move(list));
}

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA /*DeviceInfoData*/,
                                 const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                 PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
    std::lock_guard lock(state().mutex);
    const auto* list = find<ListObject>(DeviceInfoSet);
    if (list == nullptr) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (InterfaceClassGuid == nullptr) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (DeviceInterfaceData == nullptr ||
        DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        return fail(ERROR_INVALID_USER_BUFFER);
    }
    if (!sameGuid(*InterfaceClassGuid, list->interfaceClass) ||
        MemberIndex >= list->entries.size()) {
        return fail(ERROR_NO_MORE_ITEMS);
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
    const auto* list = find<ListObject>(DeviceInfoSet);
    if (list == nullptr) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (DeviceInterfaceData == nullptr ||
        DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) ||
        DeviceInterfaceData->Reserved == 0 ||
        DeviceInterfaceData->Reserved > list->entries.size()) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    const std::string& path = list->entries[DeviceInterfaceData->Reserved - 1]->path;
    const auto needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) +
                                           path.size() + 1);
    if (RequiredSize != nullptr) {
        *RequiredSize = needed;
    }
    if (DeviceInterfaceDetailData == nullptr) {
        return fail(DeviceInterfaceDetailDataSize == 0 ? ERROR_INSUFFICIENT_BUFFER
                                                                     : ERROR_INVALID_USER_BUFFER);
    }
    if (DeviceInterfaceDetailDataSize < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) ||
        DeviceInterfaceDetailData->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        return fail(ERROR_INVALID_USER_BUFFER);
    }
    if (DeviceInterfaceDetailDataSize < needed) {
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(DeviceInterfaceDetailData->DevicePath, path.c_str(), path.size() + 1);
    return TRUE;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (find<ListObject>(DeviceInfoSet) == nullptr) {
        return fail(ERROR_INVALID_HANDLE);
    }
    s.objects.erase(reinterpret_cast<std::uintptr_t>(DeviceInfoSet));
    --s.counters.listsOpen;
    return TRUE;
}

} // namespace zt40::driver
