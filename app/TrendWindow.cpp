#include "TrendWindow.h"

#include "Cp1252.h"
#include "Languages.h"
#include "MeasurementListModel.h"
#include "MeasurementStatistics.h"
#include "TrendScale.h"

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

namespace zt40 {

namespace {

// Above this many points the markers would hide the line and cost much to draw.
constexpr int MaxPointsWithMarkers = 200;
// Above this many readings the chart gets, for each of this many slices of the reading
// numbers, the lowest and the highest reading of the slice: the same picture at a few pixels
// per slice, drawn in a fraction of the time.
constexpr int MaxPointsDrawn = 4000;
constexpr int Slices = MaxPointsDrawn / 2;
// At most this many intervals between the ticks of the reading axis.
constexpr int MaxReadingTicks = 10;

const QColor ReadingsColour(22, 52, 96);
const QColor MeanColour(200, 90, 20);
const QColor BandColour(65, 120, 184, 60);

QString text(const char* cp1252) {
    return platform::fromCp1252(cp1252);
}

} // namespace

TrendWindow::TrendWindow(const MeasurementListModel& list, MeasurementStatistics& statistics,
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

    // The chart draws the numbers the statistics read, not a second reading of its own.
    statistics.keepRowValues();
    // A new row only adds points at the end; a deletion renumbers the readings after it. A
    // comment edit changes nothing drawn.
    connect(&list, &MeasurementListModel::rowAppended, this, &TrendWindow::schedule);
    connect(&list, &MeasurementListModel::rowRemoved, this, &TrendWindow::redrawAll);
    connect(&list, &MeasurementListModel::rowsCleared, this, &TrendWindow::redrawAll);

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
    axisY->setTitleText(platform::fromCp1252(uiText(Slot::FirstColumn + ColValue)));
    saveButton->setText(text(t.save));
    printButton->setText(text(t.print));
    saveDialog->setWindowTitle(text(t.saveTitle));
}

void TrendWindow::redrawAll() {
    redrawAll_ = true;
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

qsizetype TrendWindow::readingCount() const {
    return statistics_.values().count();
}

void TrendWindow::refresh() {
    pending_->stop();
    // The statistics have read every value already; the chart takes their numbers.
    const std::vector<double>& values = statistics_.rowValues();
    if (readingCount() > MaxPointsDrawn) {
        readings->replace(slicedExtremes(values, Slices));
    } else if (redrawAll_ || drawnRows_ > values.size()) {
        readings->replace(readingPoints(values));
    } else if (drawnRows_ < values.size()) {
        readings->append(readingPoints(values, drawnRows_));
    }
    drawnRows_ = values.size();
    redrawAll_ = false;
    updateSummary();
}

void TrendWindow::updateSummary() {
    const RunningStatistics& v = statistics_.values();
    readings->setPointsVisible(readingCount() <= MaxPointsWithMarkers);

    const double firstX = 1;
    const double lastX = std::max(list_.count(), 2);
    axisX->setRange(firstX, lastX);
    const AxisTicks ticks = readingTicks(firstX, lastX, MaxReadingTicks);
    axisX->setTickInterval(ticks.interval);
    axisX->setTickAnchor(ticks.anchor);

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

    const ValueRange range = valueAxisRange(v.minimum(), v.maximum(), mean, s);
    axisY->setRange(range.low, range.high);
    axisY->applyNiceNumbers();
    axisY->setLabelFormat(
        QStringLiteral("%.%1f").arg(labelDecimals(axisY->min(), axisY->max(), axisY->tickCount())));
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
