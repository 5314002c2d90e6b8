// What the benchmark programs that need Qt share: a processor clock of this thread and the
// entry point that runs the benchmarks inside a QApplication.
#pragma once

#include <QApplication>
#include <benchmark/benchmark.h>

#include <ctime>

namespace zt40::bench {

// The timed sections count this thread's processor time, so that other work on a busy machine
// does not enter the figures.
inline double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Runs the benchmarks named on the command line in a QApplication (offscreen unless
// QT_QPA_PLATFORM says otherwise), after `prepare` once the application exists.
template <typename Prepare> int runWithApplication(int argc, char** argv, Prepare prepare) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    prepare();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace zt40::bench
