#include "TrendWindow.h"

#include "Controls.h"
#include "Cp1252.h"
#include "Judgement.h"
#include "JudgementTexts.h"
#include "Languages.h"
#include "MeasurementListModel.h"
#include "MeasurementStatistics.h"
#include "RegionalSettings.h"
#include "TrendScale.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QLineSeries>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QScatterSeries>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

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
const QColor LimitColour(170, 20, 20);
const QColor OutsideColour(200, 0, 0);
const QColor SampleMeanColour(30, 130, 60);
constexpr double NoTime = std::numeric_limits<double>::quiet_NaN();

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
    // Limits, marks and sample means join the chart when there is something to show.
    lowerLine = new QLineSeries(chart);
    upperLine = new QLineSeries(chart);
    for (QLineSeries* limit : {lowerLine, upperLine}) {
        limit->setPen(QPen(LimitColour, 1.5, Qt::DashLine));
    }
    sampleMeans = new QLineSeries(chart);
    sampleMeans->setPen(QPen(SampleMeanColour, 2));
    sampleMeans->setPointsVisible(true);
    outside = new QScatterSeries(chart);
    outside->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
    outside->setMarkerSize(11);
    outside->setColor(OutsideColour);
    outside->setBorderColor(Qt::white);
    connect(outside, &QScatterSeries::hovered, this, &TrendWindow::outsideHovered);

    axisX = new QValueAxis(chart);
    axisX->setLabelFormat("%.0f");
    axisX->setTickType(QValueAxis::TicksDynamic);
    axisY = new QValueAxis(chart);
    timeAxis = new QDateTimeAxis(chart);
    timeAxis->setFormat(QStringLiteral("HH:mm:ss"));
    timeAxis->setTickCount(6);
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

    axisChoice = new QComboBox(this);
    axisChoice->setObjectName("TrendAxis");
    axisChoice->addItems({QString(), QString()});
    connect(axisChoice, &QComboBox::activated, this,
            [this](int index) { setAxis(static_cast<Axis>(index)); });
    sampleMeansChoice = new QCheckBox(this);
    sampleMeansChoice->setObjectName("TrendSampleMeans");
    sampleMeansChoice->setEnabled(false);
    connect(sampleMeansChoice, &QCheckBox::toggled, this, &TrendWindow::schedule);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(axisChoice);
    buttons->addWidget(sampleMeansChoice);
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
    const VerdictTexts& v = verdictTexts(ActiveLanguage);
    lowerLine->setName(text(v.lowerLine));
    upperLine->setName(text(v.upperLine));
    outside->setName(text(v.outside));
    sampleMeans->setName(text(v.sampleMeans));
    axisChoice->setItemText(0, text(v.axisReading));
    axisChoice->setItemText(1, text(v.axisTime));
    timeAxis->setTitleText(text(v.timeOfDay));
    sampleMeansChoice->setText(text(v.sampleMeans));
    saveButton->setText(text(t.save));
    printButton->setText(text(t.print));
    saveDialog->setWindowTitle(text(t.saveTitle));
}

void TrendWindow::setJudgement(const MeasurementJudgement* judgement) {
    if (judgement_ != nullptr) {
        disconnect(judgement_, nullptr, this, nullptr);
    }
    judgement_ = judgement;
    const auto follow = [this] {
        sampleMeansChoice->setEnabled(judgement_ != nullptr && judgement_->sampleSize() != 0);
        // The readings stay; limits, marks and means follow at the next drawing.
        schedule();
    };
    if (judgement_ != nullptr) {
        connect(judgement_, &MeasurementJudgement::changed, this, follow);
    }
    follow();
}

void TrendWindow::setAxis(Axis axis) {
    axisChoice->setCurrentIndex(static_cast<int>(axis));
    if (axis == axis_) {
        return;
    }
    QAbstractAxis* from = axis_ == Axis::Time ? static_cast<QAbstractAxis*>(timeAxis) : axisX;
    QAbstractAxis* to = axis == Axis::Time ? static_cast<QAbstractAxis*>(timeAxis) : axisX;
    axis_ = axis;
    for (QAbstractSeries* series : chart->series()) {
        series->detachAxis(from);
    }
    chart->removeAxis(from);
    // The chart lets go of a removed axis: it stays the chart's child, kept for the next
    // switch and deleted with the chart.
    from->setParent(chart);
    chart->addAxis(to, Qt::AlignBottom);
    for (QAbstractSeries* series : chart->series()) {
        series->attachAxis(to);
    }
    times_.clear();
    redrawAll_ = true;
    refresh();
}

void TrendWindow::readTimes(std::size_t rows) {
    if (times_.size() > rows || times_.empty()) {
        times_.clear();
        earliest_ = std::numeric_limits<double>::infinity();
        latest_ = -std::numeric_limits<double>::infinity();
    }
    // Each row keeps the time it was taken as its date and time texts, in the formats of the
    // regional settings; rows brought back from the journal too.
    const QLocale locale = QLocale::system();
    for (std::size_t row = times_.size(); row < rows; ++row) {
        const int r = static_cast<int>(row);
        const QDateTime when =
            platform::dateTimeFromTexts(locale, list_.text(r, ColDate), list_.text(r, ColTime));
        const double ms = when.isValid() ? static_cast<double>(when.toMSecsSinceEpoch()) : NoTime;
        if (!std::isnan(ms)) {
            earliest_ = std::min(earliest_, ms);
            latest_ = std::max(latest_, ms);
        }
        times_.push_back(ms);
    }
}

QList<QPointF> TrendWindow::placed(QList<QPointF> points) const {
    if (axis_ == Axis::Reading) {
        return points;
    }
    QList<QPointF> out;
    out.reserve(points.size());
    for (const QPointF& p : points) {
        const auto row = static_cast<std::size_t>(p.x()) - 1;
        if (row < times_.size() && !std::isnan(times_[row])) {
            out.append(QPointF(times_[row], p.y()));
        }
    }
    return out;
}

void TrendWindow::outsideHovered(const QPointF& point, bool state) {
    if (!state || judgement_ == nullptr) {
        QToolTip::hideText();
        return;
    }
    const Limits& limits = judgement_->limits();
    const VerdictTexts& t = verdictTexts(ActiveLanguage);
    const char separator = platform::decimalSeparator();
    const auto limitText = [&](double limit) {
        return platform::fromCp1252(decimalText(limit, separator));
    };
    const Verdict verdict = judge(point.y(), limits);
    const QString why = verdict == Verdict::Above   ? text(t.aboveTip).arg(limitText(*limits.upper))
                        : verdict == Verdict::Below ? text(t.belowTip).arg(limitText(*limits.lower))
                                                    : QString();
    QToolTip::showText(QCursor::pos(), limitText(point.y()) + QStringLiteral(": ") + why,
                       chartView);
}

void TrendWindow::showSeries(QAbstractSeries* series, bool shown) {
    if (shown == chart->series().contains(series)) {
        return;
    }
    if (!shown) {
        chart->removeSeries(series);
        series->setParent(chart); // still the chart's to delete
        return;
    }
    chart->addSeries(series);
    series->attachAxis(axis_ == Axis::Time ? static_cast<QAbstractAxis*>(timeAxis) : axisX);
    series->attachAxis(axisY);
}

void TrendWindow::updateJudgement(double firstX, double lastX) {
    const Limits limits = judgement_ != nullptr ? judgement_->limits() : Limits{};
    const auto limitLine = [&](QLineSeries* line, const std::optional<double>& y) {
        if (y) {
            line->replace({QPointF(firstX, *y), QPointF(lastX, *y)});
        }
        showSeries(line, y.has_value());
    };
    limitLine(lowerLine, limits.lower);
    limitLine(upperLine, limits.upper);

    const std::vector<double>& values = statistics_.rowValues();
    QList<QPointF> marks;
    if (limits.any()) {
        for (std::size_t row = 0; row < values.size(); ++row) {
            const double v = values[row];
            const Verdict verdict = std::isnan(v) ? Verdict::None : judge(v, limits);
            if (verdict == Verdict::Above || verdict == Verdict::Below) {
                marks.append(QPointF(static_cast<double>(row + 1), v));
            }
        }
    }
    if (marks.size() > MaxPointsDrawn) {
        // Of very many, evenly spread ones: the picture stays the same, the drawing quick.
        QList<QPointF> thinned;
        const qsizetype step = (marks.size() + MaxPointsDrawn - 1) / MaxPointsDrawn;
        for (qsizetype k = 0; k < marks.size(); k += step) {
            thinned.append(marks[k]);
        }
        marks = thinned;
    }
    outside->replace(placed(marks));
    showSeries(outside, !marks.isEmpty());

    // A sample's mean sits at its middle reading, or at the time of its last.
    QList<QPointF> means;
    const int size = judgement_ != nullptr ? judgement_->sampleSize() : 0;
    if (size != 0 && sampleMeansChoice->isChecked()) {
        for (std::size_t first = 0; first < values.size();
             first += static_cast<std::size_t>(size)) {
            const std::size_t end = std::min(values.size(), first + static_cast<std::size_t>(size));
            RunningStatistics sample;
            for (std::size_t row = first; row < end; ++row) {
                if (!std::isnan(values[row])) {
                    sample.add(values[row]);
                }
            }
            if (sample.count() == 0) {
                continue;
            }
            const double x = axis_ == Axis::Reading ? (static_cast<double>(first + end) + 1) / 2
                                                    : static_cast<double>(end);
            means.append(QPointF(x, sample.mean()));
        }
    }
    sampleMeans->replace(axis_ == Axis::Reading ? means : placed(means));
    showSeries(sampleMeans, !means.isEmpty());
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
    if (axis_ == Axis::Time) {
        if (redrawAll_) {
            times_.clear();
        }
        readTimes(values.size());
    }
    if (readingCount() > MaxPointsDrawn) {
        readings->replace(placed(slicedExtremes(values, Slices)));
    } else if (redrawAll_ || drawnRows_ > values.size()) {
        readings->replace(placed(readingPoints(values)));
    } else if (drawnRows_ < values.size()) {
        readings->append(placed(readingPoints(values, drawnRows_)));
    }
    drawnRows_ = values.size();
    redrawAll_ = false;
    updateSummary();
}

void TrendWindow::updateSummary() {
    const RunningStatistics& v = statistics_.values();
    readings->setPointsVisible(readingCount() <= MaxPointsWithMarkers);

    double firstX = 1;
    double lastX = std::max(list_.count(), 2);
    if (axis_ == Axis::Time) {
        const bool any = earliest_ <= latest_;
        const double now = static_cast<double>(QDateTime::currentMSecsSinceEpoch());
        firstX = any ? earliest_ : now;
        lastX = any ? latest_ : now;
        // A single moment gets a minute either side.
        if (lastX - firstX < 1000) {
            firstX -= 60000;
            lastX += 60000;
        }
        timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(firstX)),
                           QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(lastX)));
    } else {
        axisX->setRange(firstX, lastX);
        const AxisTicks ticks = readingTicks(firstX, lastX, MaxReadingTicks);
        axisX->setTickInterval(ticks.interval);
        axisX->setTickAnchor(ticks.anchor);
    }
    updateJudgement(firstX, lastX);

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

    // The limits stay in sight, so the readings can be seen against them.
    double minimum = v.minimum();
    double maximum = v.maximum();
    if (judgement_ != nullptr) {
        const Limits& limits = judgement_->limits();
        minimum = limits.lower ? std::min(minimum, *limits.lower) : minimum;
        maximum = limits.upper ? std::max(maximum, *limits.upper) : maximum;
    }
    const ValueRange range = valueAxisRange(minimum, maximum, mean, s);
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

void TrendWindow::renderChart(QPainter& painter, const QRectF& area) {
    refresh();
    const double scale = painter.device()->logicalDpiX() / 96.0;
    const QRectF source(0, 0, area.width() / scale, area.height() / scale);
    chart->setGeometry(source);
    chartView->scene()->setSceneRect(source);
    chartView->scene()->render(&painter, area, source);
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
    tellWarning(this, windowTitle(), message, "TrendErrorBox");
}

} // namespace zt40
