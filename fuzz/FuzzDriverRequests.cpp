// Arbitrary requests into the driver stand-in on a simulated instrument: control request
// codes, input and output sizes and contents, reads and writes of any size, waits,
// cancellation, closing and reopening, the cable pulled. Every call answers success or a
// Windows error code, and when the input ends and the handles are closed, the stand-in holds
// no handle, event, list or transfer.
//
// Input: a stream of operations, each one byte (operation and handle slot) and its arguments.
#include "DriverStandIn.h"
#include "FuzzCheck.h"
#include "InstrumentLink.h"
#include "ManualClock.h"
#include "SimulatedDevice.h"
#include "SimulatedInstrument.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace zt40::fuzz {
namespace {

constexpr std::array<DWORD, 4> KnownCodes{0x8094206C, 0x80942006, 0x80942024, 0x80942078};
constexpr std::array<DWORD, 7> KnownSizes{0, 1, 7, 8, 12, 18, 260};
constexpr DWORD MaxSize = 600;

// The fuzzer's bytes read as request codes, sizes and buffer contents.
class Input : public fuzz::Input {
public:
    using fuzz::Input::Input;
    DWORD dword() { return word32(); }
    DWORD size() {
        const std::uint8_t s = byte();
        if (s < 0x80) {
            return KnownSizes[s % KnownSizes.size()];
        }
        return (static_cast<DWORD>(s & 0x7F) << 8 | byte()) % (MaxSize + 1);
    }
};

// A result is success, or failure with an error code set.
void checkResult(BOOL ok) {
    FUZZ_CHECK(ok == TRUE || ok == FALSE);
    if (!ok) {
        FUZZ_CHECK(GetLastError() != 0);
    }
}

// One handle with its own overlapped record, event and buffer, as a pipe object holds them.
struct Slot {
    HANDLE file = nullptr;
    OVERLAPPED overlapped{};
    std::vector<std::uint8_t> buffer;
    DWORD size = 0;
    bool outstanding = false;

    // Collects an outstanding transfer before the buffer is touched again.
    void settle() {
        if (!outstanding) {
            return;
        }
        checkResult(CancelIo(file));
        DWORD count = 0;
        const BOOL ok = GetOverlappedResult(file, &overlapped, &count, TRUE);
        checkResult(ok);
        FUZZ_CHECK(count <= size);
        outstanding = false;
    }
    void close() {
        settle();
        if (file != nullptr) {
            checkResult(CloseHandle(file));
            file = nullptr;
        }
        if (overlapped.hEvent != nullptr) {
            checkResult(CloseHandle(overlapped.hEvent));
            overlapped.hEvent = nullptr;
        }
    }
};

HANDLE openInstrument() {
    const HDEVINFO list = SetupDiGetClassDevsA(&UsbioInterfaceClass, nullptr, nullptr,
                                               DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    FUZZ_CHECK(list != INVALID_HANDLE_VALUE);
    const std::string path = driver::devicePathFor("zt40-simulator");
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    checkResult(SetupDiDestroyDeviceInfoList(list));
    if (file == INVALID_HANDLE_VALUE) {
        FUZZ_CHECK(GetLastError() != 0);
        return nullptr;
    }
    return file;
}

void transfer(Slot& slot, Input& in, bool read) {
    slot.settle();
    slot.size = in.size();
    slot.buffer.assign(slot.size, 0);
    in.fill(slot.buffer.data(), slot.size);
    const bool noBuffer = (in.byte() & 0x0F) == 0;
    std::uint8_t* data = noBuffer ? nullptr : slot.buffer.data();
    DWORD count = 0xDEADBEEF;
    const BOOL ok = read ? ReadFile(slot.file, data, slot.size, &count, &slot.overlapped)
                         : WriteFile(slot.file, data, slot.size, &count, &slot.overlapped);
    checkResult(ok);
    if (ok) {
        FUZZ_CHECK(count <= slot.size);
    } else if (GetLastError() == ERROR_IO_PENDING) {
        slot.outstanding = true;
    }
}

void control(Slot& slot, Input& in) {
    slot.settle(); // the overlapped record serves one operation at a time
    const std::uint8_t pick = in.byte();
    const DWORD code = pick < 0xC0 ? KnownCodes[pick % KnownCodes.size()] : in.dword();
    const DWORD inSize = in.size();
    const DWORD outSize = in.size();
    std::vector<std::uint8_t> input(inSize), output(outSize, 0xCC);
    in.fill(input.data(), inSize);
    const std::uint8_t how = in.byte();
    DWORD returned = 0xDEADBEEF;
    const BOOL ok =
        DeviceIoControl(slot.file, code, (how & 1) ? nullptr : input.data(), inSize,
                        (how & 2) ? nullptr : output.data(), outSize,
                        (how & 4) ? nullptr : &returned, (how & 8) ? nullptr : &slot.overlapped);
    checkResult(ok);
    if ((how & 4) == 0 && ok) {
        FUZZ_CHECK(returned <= outSize);
    }
    if (!ok && GetLastError() == ERROR_IO_PENDING) {
        DWORD count = 0;
        checkResult(GetOverlappedResult(slot.file, &slot.overlapped, &count, TRUE));
        FUZZ_CHECK(count <= outSize);
    }
}

int testOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool once = [] {
        driver::setRealDevicesEnabled(false); // never touch the machine's USB devices
        return true;
    }();
    (void)once;
    driver::withdrawAll();
    test::ManualClock clock(1000);
    driver::ScopedClock useClock(clock);
    auto instrument = std::make_shared<simulator::SimulatedInstrument>(
        simulator::SimulatedInstrument::scenario("manual"));
    driver::publish(std::make_shared<driver::SimulatedDevice>(instrument));
    const driver::Counters before = driver::counters();

    std::array<Slot, 3> slots;
    for (Slot& slot : slots) {
        slot.file = openInstrument();
        FUZZ_CHECK(slot.file != nullptr);
        slot.overlapped.hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        FUZZ_CHECK(slot.overlapped.hEvent != nullptr);
    }

    Input in(data, size);
    while (in.more()) {
        const std::uint8_t op = in.byte();
        Slot& slot = slots[(op >> 4) % slots.size()];
        switch (op & 0x0F) {
        case 0:
        case 1:
        case 2:
            control(slot, in);
            break;
        case 3:
        case 4:
            transfer(slot, in, true);
            break;
        case 5:
        case 6:
            transfer(slot, in, false);
            break;
        case 7: {
            const DWORD limit = in.byte() * 100u;
            const DWORD r = WaitForSingleObject(slot.overlapped.hEvent, limit);
            FUZZ_CHECK(r == WAIT_OBJECT_0 || r == WAIT_TIMEOUT ||
                       (r == WAIT_FAILED && GetLastError() != 0));
            break;
        }
        case 8: {
            DWORD count = 0;
            const BOOL ok = GetOverlappedResult(slot.file, &slot.overlapped, &count, FALSE);
            checkResult(ok);
            if (ok || GetLastError() != ERROR_IO_INCOMPLETE) {
                slot.outstanding = false;
            }
            break;
        }
        case 9:
            checkResult(CancelIo(slot.file));
            break;
        case 10:
            slot.close();
            slot.file = openInstrument();
            slot.overlapped.hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
            FUZZ_CHECK(slot.overlapped.hEvent != nullptr);
            break;
        case 11:
            if (instrument->pluggedIn()) {
                instrument->unplug();
            } else {
                instrument->plugIn();
            }
            break;
        case 12:
            instrument->pressKey((op & 0x10) != 0);
            break;
        case 13:
            clock.advance(in.byte() * 50u);
            break;
        default:
            instrument->injectFault(static_cast<simulator::Fault>(in.byte() % 3),
                                    1 + in.byte() % 3);
            break;
        }
    }

    for (Slot& slot : slots) {
        slot.close();
    }
    const driver::Counters after = driver::counters();
    FUZZ_CHECK(after.filesOpen == before.filesOpen);
    FUZZ_CHECK(after.eventsOpen == before.eventsOpen);
    FUZZ_CHECK(after.listsOpen == before.listsOpen);
    FUZZ_CHECK(after.transfersPending == 0);
    driver::withdrawAll();
    return 0;
}

} // namespace
} // namespace zt40::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return zt40::fuzz::testOneInput(data, size);
}
