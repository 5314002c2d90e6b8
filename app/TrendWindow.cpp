#include "TrendWindow.h"

#include "Cp1252.h"
#include "Languages.h"
#include "MeasurementListModel.h"
#include "MeasurementStatistics.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineSeries>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace zt40 {

namespace {

// Above this many points the markers would hide the line and cost much to draw.
constexpr int MaxPointsWithMarkers = 200;
// Above this many readings the chart gets, for each of this many slices of the reading
// numbers, the lowest and the highest reading of the slice: the same picture at a few pixels
// per slice, drawn in a fraction of the time.
constexpr int MaxPointsDrawn = 4000;
constexpr int Slices = MaxPointsDrawn / 2;

const QColor ReadingsColour(22, 52, 96);
const QColor MeanColour(200, 90, 20);
const QColor BandColour(65, 120, 184, 60);

QString text(const char* cp1252) {
    return fromCp1252(cp1252);
}

// The points of the rows first to last whose value is a number: reading number against value.
QList<QPointF> points(const MeasurementListModel& list, int first, int last) {
    QList<QPointF> out;
    out.reserve(std::max(last - first + 1, 0));
    for (int row = first; row <= last; ++row) {
        if (const auto number = parseValueText(list.text(row, ColValue))) {
            out.append(QPointF(row + 1, number->value));
        }
    }
    return out;
}

// The lowest and highest point of each slice, in the order of their reading numbers.
QList<QPointF> slicedExtremes(const QList<QPointF>& all) {
    QList<QPointF> out;
    out.reserve(2 * Slices);
    const qsizetype n = all.size();
    for (int slice = 0; slice < Slices; ++slice) {
        const qsizetype begin = n * slice / Slices;
        const qsizetype end = n * (slice + 1) / Slices;
        if (begin == end) {
            continue;
        }
        const auto [low, high] =
            std::minmax_element(all.begin() + begin, all.begin() + end,
                                [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
        out.append(low->x() <= high->x() ? *low : *high);
        if (low != high) {
            out.append(low->x() <= high->x() ? *high : *low);
        }
    }
    return out;
}

} // namespace

TrendWindow::TrendWindow(const MeasurementListModel& list, const MeasurementStatistics& statistics,
                         QString saveDirectory, QWidget* parent)
    : QWidget(parent, Qt::Window), list_(list), statistics_(statistics),
      saveDirectory_(std::move(saveDirectory)) {
    setObjectName("TrendWindow");
    // The program ends with its main window, whether the trend is open or not.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(760, 480);

    chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setLocalizeNumbers(true);
    chart->legend()->setAlignment(Qt::AlignBottom);

    readings = new QLineSeries(chart);
    readings->setPen(QPen(ReadingsColour, 1.5));
    meanLine = new QLineSeries(chart);
    meanLine->setPen(QPen(MeanColour, 2));
    band = new QAreaSeries(new QLineSeries(chart), new QLineSeries(chart));
    band->setBrush(BandColour);
    band->setPen(Qt::NoPen);
    // The band is drawn first, under the line of the readings.
    chart->addSeries(band);
    chart->addSeries(meanLine);
    chart->addSeries(readings);

    axisX = new QValueAxis(chart);
    axisX->setLabelFormat("%.0f");
    axisX->setTickType(QValueAxis::TicksDynamic);
    axisY = new QValueAxis(chart);
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    for (QAbstractSeries* series : chart->series()) {
        series->attachAxis(axisX);
        series->attachAxis(axisY);
    }

    chartView = new QChartView(chart, this);
    chartView->setObjectName("TrendChart");
    chartView->setRenderHint(QPainter::Antialiasing);

    saveButton = new QPushButton(this);
    saveButton->setObjectName("SavePicture");
    printButton = new QPushButton(this);
    printButton->setObjectName("PrintTrend");
    connect(saveButton, &QPushButton::clicked, this, &TrendWindow::saveClick);
    connect(printButton, &QPushButton::clicked, this, &TrendWindow::printClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(saveButton);
    buttons->addWidget(printButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chartView, 1);
    layout->addLayout(buttons);

    saveDialog = new QFileDialog(this);
    saveDialog->setObjectName("SavePictureDialog");
    saveDialog->setAcceptMode(QFileDialog::AcceptSave);
    saveDialog->setFileMode(QFileDialog::AnyFile);
    saveDialog->setNameFilter(QStringLiteral("PNG (*.png)"));
    saveDialog->setDefaultSuffix(QStringLiteral("png"));

    pending_ = new QTimer(this);
    pending_->setSingleShot(true);
    pending_->setInterval(0);
    connect(pending_, &QTimer::timeout, this, &TrendWindow::refresh);

    connect(&list, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& parentIndex, int first, int last) {
                if (!parentIndex.isValid()) {
                    rowsAppended(first, last);
                }
            });
    connect(&list, &QAbstractItemModel::rowsRemoved, this, &TrendWindow::listChanged);
    connect(&list, &QAbstractItemModel::modelReset, this, &TrendWindow::listChanged);
    connect(&list, &QAbstractItemModel::layoutChanged, this, &TrendWindow::listChanged);
    connect(&list, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                if (topLeft.column() <= ColValue && bottomRight.column() >= ColValue) {
                    listChanged();
                }
            });

    applyLanguage();
}

TrendWindow::~TrendWindow() {
    // The dialog refers to the printer: it goes first.
    delete printDialog;
    printDialog = nullptr;
}

void TrendWindow::applyLanguage() {
    const TrendTexts& t = trendTexts(ActiveLanguage);
    setWindowTitle(text(t.title));
    chart->setTitle(text(t.title));
    readings->setName(text(t.readings));
    meanLine->setName(text(t.mean));
    band->setName(text(t.band));
    axisX->setTitleText(text(t.readingNumber));
    axisY->setTitleText(fromCp1252(uiText(Slot::FirstColumn + ColValue)));
    saveButton->setText(text(t.save));
    printButton->setText(text(t.print));
    saveDialog->setWindowTitle(text(t.saveTitle));
}

void TrendWindow::rowsAppended(int first, int last) {
    // Rows added anywhere but at the end shift the reading numbers of those after them.
    if (last != list_.count() - 1) {
        listChanged();
        return;
    }
    if (!redrawAll_ && firstNew_ < 0) {
        firstNew_ = first;
    }
    schedule();
}

void TrendWindow::listChanged() {
    redrawAll_ = true;
    firstNew_ = -1;
    schedule();
}

void TrendWindow::schedule() {
    // A hidden window draws nothing; it catches up when it is shown again.
    if (isVisible() && !pending_->isActive()) {
        pending_->start();
    }
}

void TrendWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
}

void TrendWindow::refresh() {
    pending_->stop();
    if (redrawAll_) {
        all_ = points(list_, 0, list_.count() - 1);
    } else if (firstNew_ >= 0) {
        all_.append(points(list_, firstNew_, list_.count() - 1));
    }
    if (all_.size() > MaxPointsDrawn) {
        readings->replace(slicedExtremes(all_));
    } else if (redrawAll_ || readings->count() > all_.size()) {
        readings->replace(all_);
    } else if (readings->count() < all_.size()) {
        readings->append(all_.mid(readings->count()));
    }
    redrawAll_ = false;
    firstNew_ = -1;
    updateSummary();
}

void TrendWindow::updateSummary() {
    const RunningStatistics& v = statistics_.values();
    readings->setPointsVisible(all_.size() <= MaxPointsWithMarkers);

    const double firstX = 1;
    const double lastX = std::max(list_.count(), 2);
    axisX->setRange(firstX, lastX);
    // Ticks on whole reading numbers, 1, 2 or 5 times a power of ten apart, at most ten.
    double step = 1;
    for (int k = 0; (lastX - firstX) / step > 10; ++k) {
        step *= k % 3 == 1 ? 2.5 : 2;
    }
    axisX->setTickInterval(step);
    axisX->setTickAnchor(step > 1 ? 0 : 1);

    auto* upper = band->upperSeries();
    auto* lower = band->lowerSeries();
    if (v.count() == 0) {
        meanLine->clear();
        upper->clear();
        lower->clear();
        axisY->setRange(0, 1);
        return;
    }
    const double mean = v.mean();
    const double s = v.standardDeviation().value_or(0);
    meanLine->replace({QPointF(firstX, mean), QPointF(lastX, mean)});
    if (v.standardDeviation()) {
        upper->replace({QPointF(firstX, mean + s), QPointF(lastX, mean + s)});
        lower->replace({QPointF(firstX, mean - s), QPointF(lastX, mean - s)});
    } else {
        upper->clear();
        lower->clear();
    }

    double low = std::min(v.minimum(), mean - s);
    double high = std::max(v.maximum(), mean + s);
    const double margin = high > low ? (high - low) * 0.05 : std::max(std::abs(high) * 0.01, 0.5);
    low -= margin;
    high += margin;
    axisY->setRange(low, high);
    axisY->applyNiceNumbers();
    low = axisY->min();
    high = axisY->max();
    // As many decimals on the value axis as its ticks need.
    const double interval = (high - low) / std::max(axisY->tickCount() - 1, 1);
    int decimals = 0;
    for (double scaled = interval;
         decimals < 9 && std::abs(scaled - std::round(scaled)) > 1e-6 * scaled; scaled *= 10) {
        ++decimals;
    }
    axisY->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
}

QString TrendWindow::savePicture(const QString& path) {
    refresh();
    const QPixmap picture = chartView->grab();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    if (!picture.save(&file, "PNG")) {
        file.cancelWriting();
        return file.errorString().isEmpty() ? QStringLiteral("PNG") : file.errorString();
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return {};
}

void TrendWindow::saveClick() {
    saveDialog->setDirectory(saveDirectory_);
    if (saveDialog->exec() != QDialog::Accepted || saveDialog->selectedFiles().isEmpty()) {
        return;
    }
    const QString path = saveDialog->selectedFiles().constFirst();
    const QString error = savePicture(path);
    if (!error.isEmpty()) {
        showError(text(trendTexts(ActiveLanguage).saveError).arg(path, error));
    }
}

QPrinter& TrendWindow::printer() {
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer_->setPageOrientation(QPageLayout::Landscape);
    }
    return *printer_;
}

QString TrendWindow::printOn(QPrinter& target) {
    refresh();
    const QString name =
        target.outputFileName().isEmpty() ? target.printerName() : target.outputFileName();
    QPainter painter;
    if (!painter.begin(&target)) {
        return name;
    }
    // The chart as it is on screen, scaled to the page width (or height) and drawn as
    // vectors at the printer's resolution.
    const QRectF page(0, 0, target.width(), target.height());
    const QSizeF shown = chartView->viewport()->size();
    const QSizeF size = shown.scaled(page.size(), Qt::KeepAspectRatio);
    chartView->render(&painter, QRectF(page.topLeft(), size), chartView->viewport()->rect());
    if (!painter.end()) {
        return name;
    }
    return {};
}

void TrendWindow::printClick() {
    QPrinter& job = printer();
    if (printDialog == nullptr) {
        printDialog = new QPrintDialog(&job, this);
        printDialog->setObjectName("PrintTrendDialog");
    }
    if (printDialog->exec() != QDialog::Accepted) {
        return;
    }
    const QString failed = printOn(job);
    if (!failed.isEmpty()) {
        showError(text(trendTexts(ActiveLanguage).printError).arg(failed));
    }
}

void TrendWindow::showError(const QString& message) {
    QMessageBox box(QMessageBox::Warning, windowTitle(), message, QMessageBox::Ok, this);
    box.setObjectName("TrendErrorBox");
    box.exec();
}

} // namespace zt40
