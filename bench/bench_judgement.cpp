// Judging readings against limits: the cost the statistics line and the verdicts add to one
// appended row, at lists of a thousand to a million rows, and writing the PDF report of
// 10,000 rows with its trend plot.
#include "Judgement.h"
#include "JudgementLine.h"
#include "Languages.h"
#include "MeasurementListModel.h"
#include "MeasurementStatistics.h"
#include "QtBenchmarkSupport.h"
#include "ReportWriter.h"
#include "StatisticsLine.h"
#include "TrendWindow.h"

#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace zt40::bench {
namespace {

std::string valueText(long i) {
    return "  " + std::to_string(10 + i % 7) + "," + std::to_string(i % 10);
}

void fill(MeasurementListModel& model, long rows) {
    for (long i = 0; i < rows; ++i) {
        model.appendRow("09.12.2026", "17:21:47", "L D", valueText(i), "");
    }
}

// One appended row as the main window sees it: the statistics and the judgement follow it,
// the row's verdict is taken (the list paints it) and the whole statistics line is built.
// With judged = 0 limits and samples are off, so the difference is what judging costs. The
// rows appended are taken away again unseen (a deletion recounts, which is not measured).
void BM_AppendedRowJudged(benchmark::State& state) {
    MeasurementListModel model;
    fill(model, state.range(0));
    MeasurementStatistics statistics(model);
    MeasurementJudgement judgement(model);
    if (state.range(1) != 0) {
        judgement.setLimits({11.0, 15.5});
        judgement.setSampleSize(5);
    }
    constexpr int Batch = 1000;
    long i = 0;
    std::size_t length = 0;
    for (auto _ : state) {
        const double start = threadSeconds();
        for (int k = 0; k < Batch; ++k) {
            model.appendRow("09.12.2026", "17:21:47", "L D", valueText(++i), "");
            const int row = model.count() - 1;
            benchmark::DoNotOptimize(judgement.verdictOfRow(row));
            std::vector<std::string> items = statisticsLineItems(statistics, LanguageEnglish, ',');
            for (std::string& item :
                 judgementLineItems(judgement, statistics.values(), statistics.decimals() + 1,
                                    LanguageEnglish, ',')) {
                items.push_back(std::move(item));
            }
            length = joinedStatisticsItems(items).size();
        }
        state.SetIterationTime(threadSeconds() - start);
        const QSignalBlocker quiet(model);
        for (int k = 0; k < Batch; ++k) {
            model.removeRowAt(model.count() - 1);
        }
    }
    state.counters["per_row"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * Batch,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["line_chars"] = static_cast<double>(length);
}
BENCHMARK(BM_AppendedRowJudged)
    ->ArgsProduct({{1000, 10000, 100000, 1000000}, {0, 1}})
    ->ArgNames({"rows", "judged"})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// The report of 10,000 rows in samples of 5 with limits and its trend plot.
void BM_Report(benchmark::State& state) {
    MeasurementListModel model;
    fill(model, state.range(0));
    MeasurementStatistics statistics(model);
    QTemporaryDir dir;
    ReportContent content;
    content.program = QStringLiteral("ZT40 1.0.0");
    content.serial = QStringLiteral("ZT40-0001");
    content.firmware = QStringLiteral("V1.07");
    content.createdText = QStringLiteral("09.12.2026 17:21:47");
    content.user = QStringLiteral("bench");
    content.settings.limits = {LimitKind::Bounds, 11.0, 15.5, std::nullopt, std::nullopt};
    content.settings.sampleSize = 5;
    content.statisticsItems = statisticsLineItems(statistics, LanguageEnglish, ',');
    content.decimals = statistics.decimals() + 1;
    content.separator = ',';
    content.list = &model;
    content.drawTrend = [](QPainter& painter, const QRectF& area) { painter.drawRect(area); };
    for (auto _ : state) {
        const Outcome written = writeReport(dir.filePath("report.pdf"), content);
        if (!written.ok()) {
            state.SkipWithError(written.reason().toStdString().c_str());
        }
    }
    state.counters["pdf_bytes"] = static_cast<double>(QFileInfo(dir.filePath("report.pdf")).size());
}
BENCHMARK(BM_Report)->Arg(10000)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace zt40::bench

int main(int argc, char** argv) {
    return zt40::bench::runWithApplication(argc, argv, [] {
        zt40::FillLanguageTables();
        zt40::copyLanguageToUiText(zt40::LanguageEnglish);
    });
}
