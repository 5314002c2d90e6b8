#include "SimulatedDevice.h"

#include "InstrumentUsbIds.h"

namespace zt40::driver {

SimulatedDevice::SimulatedDevice(std::shared_ptr<simulator::SimulatedInstrument> instrument,
                                 std::string name)
    : ModelledDevice(
          InstrumentUsb::VendorId, InstrumentUsb::ProductId,
          {{InstrumentUsb::InEndpoint, 0x03, 8, 10}, {InstrumentUsb::OutEndpoint, 0x03, 8, 10}}),
      instrument_(std::move(instrument)), name_(std::move(name)) {}

void SimulatedDevice::submit(const std::shared_ptr<Transfer>& transfer) {
    std::size_t moved = 0;
    const simulator::Completion c =
        transfer->isIn() ? instrument_->read(transfer->data(), transfer->size(), moved)
                         : instrument_->write(transfer->data(), transfer->size(), moved);
    if (c == simulator::Completion::Done) {
        transfer->complete(0, static_cast<std::uint32_t>(moved));
    }
    // Otherwise it stays pending until cancelled, as on an instrument that does not answer.
}

} // namespace zt40::driver
