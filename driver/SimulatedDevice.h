// The simulated gloss meter as a device behind the driver stand-in: commands written to OUT
// 0x02 go to the simulator, its replies are read from IN 0x81, and the stand-in's clock
// drives its scheduled readings.
#pragma once

#include "ModelledDevice.h"
#include "SimulatedInstrument.h"

#include <memory>
#include <string>

namespace zt40::driver {

class SimulatedDevice : public ModelledDevice {
public:
    explicit SimulatedDevice(std::shared_ptr<simulator::SimulatedInstrument> instrument,
                             std::string name = "zt40-simulator");

    simulator::SimulatedInstrument& instrument() { return *instrument_; }

    std::string name() const override { return name_; }
    bool present() override { return instrument_->pluggedIn(); }
    void tick(std::uint64_t nowMs) override { instrument_->setNow(nowMs); }
    void submit(const std::shared_ptr<Transfer>& transfer) override;

private:
    std::shared_ptr<simulator::SimulatedInstrument> instrument_;
    std::string name_;
};

} // namespace zt40::driver
