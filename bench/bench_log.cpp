// Speed and memory of the measurement log: appending rows with a view attached (against
// QTreeWidget, the usual Qt list), the journal's cost per appended row, memory per row, the
// export text, printing to PDF, the statistics kept for each appended row, and drawing the
// trend of the readings.
#include "Cp1252.h"
#include "ExportText.h"
#include "MeasurementJournal.h"
#include "MeasurementListModel.h"
#include "MeasurementStatistics.h"
#include "QPainterCanvas.h"
#include "QtBenchmarkSupport.h"
#ifdef ZT40_BENCH_TREND
#include "Languages.h"
#include "TrendData.h"
#include "TrendWindow.h"
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#endif

#include <QApplication>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTreeWidget>
#include <benchmark/benchmark.h>
#include <cstring>
#include <malloc.h>
#include <memory>
#include <string>

namespace zt40::bench {
namespace {

// Texts of a typical row: the value as the instrument shows it, most comments empty.
struct TypicalRow {
    std::string date = "08.12.2026";
    std::string time = "23:21:47";
    std::string mode = "L D";
    std::string value = "   12,5 ";
    std::string comment;
};

std::string valueText(long i) {
    return "  " + std::to_string(i % 1000) + "," + std::to_string(i % 10);
}

void fillModel(MeasurementListModel& model, long rows) {
    const TypicalRow r;
    for (long i = 0; i < rows; ++i) {
        model.appendRow(r.date, r.time, r.mode, valueText(i), r.comment);
    }
}

QTreeWidgetItem* treeItem(long i) {
    const TypicalRow r;
    return new QTreeWidgetItem(
        QStringList{platform::fromCp1252(r.date), platform::fromCp1252(r.time),
                    platform::fromCp1252(trimBlanksAndControls(r.mode)),
                    platform::fromCp1252(trimBlanksAndControls(valueText(i))),
                    platform::fromCp1252(r.comment)});
}

void fillTree(QTreeWidget& tree, long rows) {
    QList<QTreeWidgetItem*> items;
    items.reserve(rows);
    for (long i = 0; i < rows; ++i) {
        items.append(treeItem(i));
    }
    tree.addTopLevelItems(items);
}

// Settings the main window's list control uses: a flat list of whole-row single selections.
void setUpView(QTreeView& view) {
    view.setRootIsDecorated(false);
    view.setUniformRowHeights(true);
    view.setAllColumnsShowFocus(true);
    view.setSelectionMode(QAbstractItemView::SingleSelection);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.resize(700, 300);
    view.show();
}

// Appending at a fixed list size: each iteration appends a batch of rows (timed) and removes
// them again (not timed), so the list stays at the size given.
template <typename Append, typename RemoveLast>
void timedBatches(benchmark::State& state, int batch, Append append, RemoveLast removeLast) {
    QApplication::processEvents();
    for (auto _ : state) {
        const double start = threadSeconds();
        for (int k = 0; k < batch; ++k) {
            append();
        }
        state.SetIterationTime(threadSeconds() - start);
        for (int k = 0; k < batch; ++k) {
            removeLast();
        }
        QApplication::processEvents();
    }
    state.counters["per_row"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * batch,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// A list model with its view, or a QTreeWidget, filled with the given number of rows.
struct ModelList {
    MeasurementListModel model;
    QTreeView view;
    explicit ModelList(long rows) {
        fillModel(model, rows);
        view.setModel(&model);
        setUpView(view);
    }
    void append() {
        const TypicalRow r;
        model.appendRow(r.date, r.time, r.mode, r.value, r.comment);
    }
    QModelIndex last() const { return model.index(model.count() - 1, 0); }
    void removeLast() { model.removeRowAt(model.count() - 1); }
};

struct WidgetList {
    QTreeWidget view;
    explicit WidgetList(long rows) {
        view.setColumnCount(ColumnCount);
        fillTree(view, rows);
        setUpView(view);
    }
    void append() { view.addTopLevelItem(treeItem(7)); }
    QModelIndex last() const { return view.model()->index(view.topLevelItemCount() - 1, 0); }
    void removeLast() { delete view.takeTopLevelItem(view.topLevelItemCount() - 1); }
};

// The append alone, with the view attached.
template <typename List> void BM_Append(benchmark::State& state) {
    List list(state.range(0));
    timedBatches(
        state, 1000, [&] { list.append(); }, [&] { list.removeLast(); });
}
BENCHMARK(BM_Append<ModelList>)
    ->Arg(1000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Append<WidgetList>)
    ->Arg(1000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// The whole append as the main window does it: append, make the row current and selected,
// scroll it into view. The view lays all its rows out again for that: the view's own cost.
template <typename List> void BM_AppendShown(benchmark::State& state) {
    List list(state.range(0));
    timedBatches(
        state, 10,
        [&] {
            list.append();
            list.view.setCurrentIndex(list.last());
            list.view.scrollTo(list.last());
        },
        [&] { list.removeLast(); });
}
BENCHMARK(BM_AppendShown<ModelList>)
    ->Arg(1000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AppendShown<WidgetList>)
    ->Arg(1000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A row appended to the list with its view, with and without the journal watching it. With
// the journal every append writes its record and waits for fdatasync before it returns, so
// both are timed by the wall clock. The journal goes to TMPDIR (default /tmp): point TMPDIR at
// the disk to be measured.
template <bool Journaled> void BM_AppendWithJournal(benchmark::State& state) {
    ModelList list(1000);
    QTemporaryDir dir;
    MeasurementJournal journal(list.model);
    if (Journaled && !journal.start(dir.filePath("zt40.journal")).ok()) {
        state.SkipWithError("the journal cannot be written");
        return;
    }
    QApplication::processEvents();
    for (auto _ : state) {
        list.append();
    }
    state.counters["rows"] = static_cast<double>(list.model.count());
}
BENCHMARK(BM_AppendWithJournal<false>)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AppendWithJournal<true>)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Appending to a list of the given size with and without the statistics watching it: the
// difference is the statistics' update for one row, which must not grow with the list. The
// rows appended are taken away again without telling the statistics (a deletion recounts the
// whole list, and is not what is measured here).
void BM_AppendWithStatistics(benchmark::State& state) {
    MeasurementListModel model;
    fillModel(model, state.range(0));
    std::unique_ptr<MeasurementStatistics> statistics;
    if (state.range(1) != 0) {
        statistics = std::make_unique<MeasurementStatistics>(model);
    }
    const TypicalRow r;
    long i = 0;
    timedBatches(
        state, 1000, [&] { model.appendRow(r.date, r.time, r.mode, valueText(++i), r.comment); },
        [&] {
            const QSignalBlocker quiet(model);
            model.removeRowAt(model.count() - 1);
        });
    if (statistics) {
        benchmark::DoNotOptimize(statistics->values().mean());
    }
}
BENCHMARK(BM_AppendWithStatistics)
    ->ArgsProduct({{1000, 1000000}, {0, 1}})
    ->ArgNames({"rows", "statistics"})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// Heap in use, large blocks (mapped separately) included.
std::size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Heap bytes per row of a million typical rows: the model alone, and once a view has laid
// them out; QTreeWidget for comparison.
void BM_MemoryPerRow(benchmark::State& state) {
    constexpr long kRows = 1000000;
    double modelBytes = 0, withView = 0, treeBytes = 0;
    for (auto _ : state) {
        const std::size_t before = heapInUse();
        auto model = std::make_unique<MeasurementListModel>();
        fillModel(*model, kRows);
        modelBytes = static_cast<double>(heapInUse() - before) / kRows;
        {
            QTreeView view;
            view.setModel(model.get());
            setUpView(view);
            QApplication::processEvents();
            withView = static_cast<double>(heapInUse() - before) / kRows;
        }
        model.reset();

        const std::size_t beforeTree = heapInUse();
        auto tree = std::make_unique<QTreeWidget>();
        tree->setColumnCount(ColumnCount);
        fillTree(*tree, kRows);
        treeBytes = static_cast<double>(heapInUse() - beforeTree) / kRows;
    }
    state.counters["model_B_per_row"] = modelBytes;
    state.counters["model_and_view_B_per_row"] = withView;
    state.counters["treewidget_B_per_row"] = treeBytes;
}
BENCHMARK(BM_MemoryPerRow)->Iterations(1)->Unit(benchmark::kMillisecond);

// Export of 100,000 rows: the line list and its text (the .dat bytes) plus the Unicode text
// for the clipboard.
constexpr long kExportRows = 100000;
const ColumnTexts kTitles{"Date", "Time", "Mode", "Value", "Comment"};

MeasurementListModel& exportModel() {
    static MeasurementListModel* model = [] {
        auto* m = new MeasurementListModel;
        const TypicalRow r;
        for (long i = 0; i < kExportRows; ++i) {
            m->appendRow(r.date, r.time, r.mode, valueText(i), i % 10 == 0 ? "Probe \xE4" : "");
        }
        return m;
    }();
    return *model;
}

void BM_ExportText(benchmark::State& state) {
    const MeasurementListModel& model = exportModel();
    ExportLineList lines;
    for (auto _ : state) {
        buildExportLines(lines, model, kTitles);
        QString unicode = lines.unicodeText();
        benchmark::DoNotOptimize(unicode.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(lines.text().size()));
}
BENCHMARK(BM_ExportText)->Unit(benchmark::kMillisecond);

// Baseline: the same texts copied once out of the list into one buffer, nothing else.
void BM_ExportBaselineCopy(benchmark::State& state) {
    const MeasurementListModel& model = exportModel();
    std::string out;
    for (auto _ : state) {
        out.clear();
        out.reserve(model.textBytes());
        for (int i = 0; i < model.count(); ++i) {
            for (int c = 0; c < ColumnCount; ++c) {
                out.append(model.text(i, c));
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(out.size()));
}
BENCHMARK(BM_ExportBaselineCopy)->Unit(benchmark::kMillisecond);

// For reference: one memcpy of the finished export text.
void BM_ExportBaselineMemcpy(benchmark::State& state) {
    ExportLineList lines;
    buildExportLines(lines, exportModel(), kTitles);
    const std::string& text = lines.text();
    std::unique_ptr<char[]> copy(new char[text.size()]);
    for (auto _ : state) {
        std::memcpy(copy.get(), text.data(), text.size());
        benchmark::DoNotOptimize(copy.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ExportBaselineMemcpy)->Unit(benchmark::kMillisecond);

// Printing 10,000 rows (200 pages) to a PDF file.
void BM_PrintPdf(benchmark::State& state) {
    MeasurementListModel model;
    fillModel(model, state.range(0));
    QTemporaryDir dir;
    for (auto _ : state) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("list.pdf"));
        const Outcome result = printMeasurementListOn(printer, model, kTitles, 0);
        if (!result.ok()) {
            state.SkipWithError(result.reason().toStdString().c_str());
        }
    }
}
BENCHMARK(BM_PrintPdf)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);

#ifdef ZT40_BENCH_TREND
// Drawing the trend of 100,000 readings from scratch, everything from the statistics' numbers
// to the finished picture: on a picture the size of the trend window (the screen), and on a
// page of a PDF as large as the report's trend (the report).
constexpr QSize WindowSize(760, 480);
constexpr int PdfResolution = 600;
const QRectF ReportArea(0, 0, 180 / 25.4 * PdfResolution, 95 / 25.4 * PdfResolution);

void BM_TrendScreen(benchmark::State& state) {
    MeasurementListModel model;
    fillModel(model, state.range(0));
    MeasurementStatistics statistics(model);
    for (auto _ : state) {
        TrendData data(model, statistics);
        QImage image(WindowSize, QImage::Format_ARGB32_Premultiplied);
        const double start = threadSeconds();
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            QPainterPlotCanvas canvas(painter);
            drawTrendPlot(canvas, data.update(0, ','), QRectF(QPointF(0, 0), WindowSize), 1);
        }
        state.SetIterationTime(threadSeconds() - start);
        benchmark::DoNotOptimize(image.constBits());
        if (data.readingCount() != state.range(0)) {
            state.SkipWithError("not every reading is in the plot");
        }
    }
}
BENCHMARK(BM_TrendScreen)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_TrendPdf(benchmark::State& state) {
    MeasurementListModel model;
    fillModel(model, state.range(0));
    MeasurementStatistics statistics(model);
    for (auto _ : state) {
        TrendData data(model, statistics);
        QBuffer file;
        file.open(QIODevice::WriteOnly);
        const double start = threadSeconds();
        {
            QPdfWriter writer(&file);
            writer.setResolution(PdfResolution);
            QPainter painter(&writer);
            QPainterPlotCanvas canvas(painter);
            drawTrendPlot(canvas, data.update(0, ','), ReportArea, PdfResolution / 96.0);
        }
        state.SetIterationTime(threadSeconds() - start);
        state.counters["bytes"] = static_cast<double>(file.size());
    }
}
BENCHMARK(BM_TrendPdf)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);

// One more reading on a shown trend of that many: taken into the plot and painted again.
void BM_TrendNewReading(benchmark::State& state) {
    MeasurementListModel model;
    fillModel(model, state.range(0));
    MeasurementStatistics statistics(model);
    TrendWindow trend(model, statistics, QString());
    trend.show();
    const TypicalRow r;
    for (auto _ : state) {
        model.appendRow(r.date, r.time, r.mode, r.value, r.comment);
        trend.refresh();
        const QPixmap picture = trend.plotView->grab();
        benchmark::DoNotOptimize(picture.cacheKey());
    }
}
BENCHMARK(BM_TrendNewReading)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
#endif

} // namespace
} // namespace zt40::bench

int main(int argc, char** argv) {
    return zt40::bench::runWithApplication(argc, argv, [] {
#ifdef ZT40_BENCH_TREND
        zt40::FillLanguageTables();
        zt40::copyLanguageToUiText(zt40::LanguageEnglish);
#endif
    });
}
