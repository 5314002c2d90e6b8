// One instrument exchange through the whole USB stack (InstrumentLink, the USB classes, the
// driver stand-in, the simulated instrument), against the simulator answering the same frame
// directly. Counters: events created per exchange.
#include "DriverStandIn.h"
#include "InstrumentLink.h"
#include "SimulatedDevice.h"
#include "SimulatedInstrument.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

std::shared_ptr<zt40::simulator::SimulatedInstrument> quietInstrument() {
    return std::make_shared<zt40::simulator::SimulatedInstrument>(
        zt40::simulator::SimulatedInstrument::scenario("manual"));
}

void ExchangeThroughStandIn(benchmark::State& state) {
    unsetenv("ZT40_SIMULATOR");
    zt40::driver::setRealDevicesEnabled(false);
    zt40::driver::withdrawAll();
    auto instrument = quietInstrument();
    zt40::driver::publish(std::make_shared<zt40::driver::SimulatedDevice>(instrument));
    zt40::InstrumentLink link;
    if (!link.Open()) {
        state.SkipWithError("the simulated instrument did not open");
        return;
    }
    zt40::InstrumentFrame frame{0x5A, 0, 0, 0, 0, 0, 0, 0};
    const auto eventsBefore = zt40::driver::counters().eventsCreated;
    std::int64_t failures = 0;
    for (auto _ : state) {
        frame[0] = 0x5A;
        failures += !link.Exchange(frame);
        benchmark::DoNotOptimize(frame);
    }
    const auto events = zt40::driver::counters().eventsCreated - eventsBefore;
    state.counters["events/exchange"] =
        static_cast<double>(events) / static_cast<double>(state.iterations());
    state.counters["failures"] = static_cast<double>(failures);
    link.Close();
    zt40::driver::withdrawAll();
}
BENCHMARK(ExchangeThroughStandIn);

void ExchangeWithSimulatorDirectly(benchmark::State& state) {
    auto instrument = quietInstrument();
    zt40::simulator::Frame frame{0x5A, 0, 0, 0, 0, 0, 0, 0};
    for (auto _ : state) {
        frame[0] = 0x5A;
        std::size_t n = 0;
        instrument->write(frame.data(), frame.size(), n);
        instrument->read(frame.data(), frame.size(), n);
        benchmark::DoNotOptimize(frame);
    }
}
BENCHMARK(ExchangeWithSimulatorDirectly);

} // namespace

BENCHMARK_MAIN();
