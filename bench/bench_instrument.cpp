// Cost of one poll tick (build, exchange with the in-memory simulated instrument, decode,
// surroundings calls) against the bare minimum of any exchange: 8 bytes copied out and in.
// After the runs the ratio of each tick figure to that baseline is printed.
#include "PollCycle.h"
#include "SimulatedInstrument.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace zt40::bench {
namespace {

// Surroundings that keep what a window would keep: the last texts and the row count.
class Sink : public PollSurroundings {
public:
    void setFirmwareText(std::string_view t) override { firmware = t; }
    void setSerialText(std::string_view t) override { serial = t; }
    void setValueText(std::string_view t) override { value = t; }
    void setModeLetters(char l, char c, char d) override { letters = {l, c, d}; }
    void setStatusText(std::string_view t) override { status = t; }
    void showLightButton(bool on) override { light = on; }
    void setTimer1Enabled(bool on) override { timer1 = on; }
    void setTimer2Enabled(bool on) override { timer2 = on; }
    void setTimer1Interval(int ms) override { interval = ms; }
    void appendMeasurementRow(std::string_view d, std::string_view t, std::string_view m,
                              std::string_view v) override {
        lastRow.assign(d).append(t).append(m).append(v);
        ++rows;
    }
    std::string uiText(int) override { return "Connection lost"; }
    std::string currentDateText() override { return "08.12.2026"; }
    std::string currentTimeText() override { return "23:59:58"; }
    char decimalSeparator() override { return ','; }
    bool Open() override { return true; }
    bool Exchange(InstrumentFrame& frame) override {
        std::size_t n = 0;
        if (instrument.write(frame.data(), frame.size(), n) != simulator::Completion::Done ||
            n != 8) {
            return false;
        }
        return instrument.read(frame.data(), frame.size(), n) == simulator::Completion::Done &&
               n == 8;
    }
    void Close() override {}

    simulator::SimulatedInstrument instrument{simulator::SimulatedInstrument::scenario("manual")};
    std::string firmware, serial, value, letters, status, lastRow;
    bool light = false, timer1 = false, timer2 = false;
    int interval = 0;
    long rows = 0;
};

void BM_Memcpy8InAndOut(benchmark::State& state) {
    std::uint8_t frame[8] = {0x55, 0x01, 0x4C, ',', '4', ' ', 0, 0};
    std::uint8_t wire[8];
    for (auto _ : state) {
        std::memcpy(wire, frame, 8);
        benchmark::ClobberMemory();
        std::memcpy(frame, wire, 8);
        benchmark::DoNotOptimize(frame);
    }
}
BENCHMARK(BM_Memcpy8InAndOut);

// Steady polling with a new reading every cycle of three ticks: one in three ticks shows a
// reading and appends a row.
void BM_PollTickWithReadings(benchmark::State& state) {
    Sink sink;
    PollCycle cycle(sink);
    for (int i = 0; i < 12; ++i) {
        cycle.Timer1Timer(); // serial number and firmware
    }
    const auto reading = simulator::encodeReading(128.4, 0x0B);
    for (auto _ : state) {
        if (!sink.instrument.holdsNewReading()) {
            sink.instrument.holdReading(reading);
        }
        cycle.Timer1Timer();
    }
    if (sink.rows < static_cast<long>(state.iterations() / 3)) {
        state.SkipWithError("readings were not appended");
    }
    state.counters["rows"] = static_cast<double>(sink.rows);
}
BENCHMARK(BM_PollTickWithReadings);

// Polling an instrument that holds no reading: the first half is asked for again and again.
void BM_PollTickIdle(benchmark::State& state) {
    Sink sink;
    PollCycle cycle(sink);
    for (int i = 0; i < 12; ++i) {
        cycle.Timer1Timer();
    }
    for (auto _ : state) {
        cycle.Timer1Timer();
    }
    if (sink.firmware != "02 15 " || sink.rows != 0) {
        state.SkipWithError("unexpected poll results");
    }
}
BENCHMARK(BM_PollTickIdle);

// Prints the usual table, then each figure as a multiple of the baseline.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                nsPerIteration_[run.benchmark_name()] = run.GetAdjustedRealTime();
            }
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto base = nsPerIteration_.find("BM_Memcpy8InAndOut");
        if (base == nsPerIteration_.end() || base->second <= 0.0) {
            return;
        }
        std::printf("\nratio to BM_Memcpy8InAndOut (%.2f ns):\n", base->second);
        for (const auto& [name, ns] : nsPerIteration_) {
            std::printf("  %-28s %10.2f ns  %8.1fx  %s\n", name.c_str(), ns, ns / base->second,
                        ns <= 1000.0 ? "(within 1 us)" : "(over 1 us)");
        }
    }

private:
    std::map<std::string, double> nsPerIteration_;
};

} // namespace
} // namespace zt40::bench

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    zt40::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
