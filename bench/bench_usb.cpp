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

namespace zt40::bench {
namespace {

std::shared_ptr<simulator::SimulatedInstrument> quietInstrument() {
    return std::make_shared<simulator::SimulatedInstrument>(
        simulator::SimulatedInstrument::scenario("manual"));
}

void ExchangeThroughStandIn(benchmark::State& state) {
    unsetenv("ZT40_SIMULATOR");
    driver::setRealDevicesEnabled(false);
    driver::withdrawAll();
    auto instrument = quietInstrument();
    driver::publish(std::make_shared<driver::SimulatedDevice>(instrument));
    InstrumentLink link;
    if (!link.Open()) {
        state.SkipWithError("the simulated instrument did not open");
        return;
    }
    InstrumentFrame frame{0x5A, 0, 0, 0, 0, 0, 0, 0};
    const auto eventsBefore = driver::counters().eventsCreated;
    std::int64_t failures = 0;
    for (auto _ : state) {
        frame[0] = 0x5A;
        failures += !link.Exchange(frame);
        benchmark::DoNotOptimize(frame);
    }
    const auto events = driver::counters().eventsCreated - eventsBefore;
    state.counters["events/exchange"] =
        static_cast<double>(events) / static_cast<double>(state.iterations());
    state.counters["failures"] = static_cast<double>(failures);
    link.Close();
    driver::withdrawAll();
}
BENCHMARK(ExchangeThroughStandIn);

void ExchangeWithSimulatorDirectly(benchmark::State& state) {
    auto instrument = quietInstrument();
    simulator::Frame frame{0x5A, 0, 0, 0, 0, 0, 0, 0};
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
} // namespace zt40::bench

BENCHMARK_MAIN();
