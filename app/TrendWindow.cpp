#include "TrendWindow.h"

#include "Controls.h"
#include "Cp1252.h"
#include "Judgement.h"
#include "JudgementTexts.h"
#include "Languages.h"
#include "MeasurementListModel.h"
#include "RegionalSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

namespace zt40 {

namespace {

QString text(const char* cp1252) {
    return platform::fromCp1252(cp1252);
}

} // namespace

TrendPlotView::TrendPlotView(const TrendData& shown, QWidget* parent)
    : QWidget(parent), data_(shown) {
    setObjectName("TrendChart");
    setMouseTracking(true);
    setMinimumSize(200, 150);
}

void TrendPlotView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPlotCanvas canvas(painter);
    frame_ = drawTrendPlot(canvas, data_.plot(), rect(), 1);
}

void TrendPlotView::mouseMoveEvent(QMouseEvent* event) {
    const std::optional<qsizetype> mark = outsideMarkAt(data_.plot(), frame_, event->position());
    const QString tip = mark && markTip ? markTip(data_.plot().outside[*mark]) : QString();
    if (tip.isEmpty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(event->globalPosition().toPoint(), tip, this);
    }
}

TrendWindow::TrendWindow(const MeasurementListModel& list, MeasurementStatistics& statistics,
                         QString saveDirectory, QWidget* parent)
    : QWidget(parent, Qt::Window), data_(list, statistics),
      saveDirectory_(std::move(saveDirectory)) {
    setObjectName("TrendWindow");
    // The program ends with its main window, whether the trend is open or not.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(760, 480);

    plotView = new TrendPlotView(data_, this);
    plotView->markTip = [this](const QPointF& point) { return outsideTip(point); };

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
    connect(sampleMeansChoice, &QCheckBox::toggled, this, [this](bool shown) {
        data_.setSampleMeans(shown);
        schedule();
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(axisChoice);
    buttons->addWidget(sampleMeansChoice);
    buttons->addStretch();
    buttons->addWidget(saveButton);
    buttons->addWidget(printButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(plotView, 1);
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
    const VerdictTexts& v = verdictTexts(ActiveLanguage);
    axisChoice->setItemText(0, text(v.axisReading));
    axisChoice->setItemText(1, text(v.axisTime));
    sampleMeansChoice->setText(text(v.sampleMeans));
    saveButton->setText(text(t.save));
    printButton->setText(text(t.print));
    saveDialog->setWindowTitle(text(t.saveTitle));
    // The plot's texts follow at the next drawing.
    schedule();
}

void TrendWindow::setJudgement(const MeasurementJudgement* judgement) {
    if (judgement_ != nullptr) {
        disconnect(judgement_, nullptr, this, nullptr);
    }
    judgement_ = judgement;
    data_.setJudgement(judgement);
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
    if (axis == data_.axis()) {
        return;
    }
    data_.setAxis(axis);
    refresh();
}

QString TrendWindow::outsideTip(const QPointF& point) const {
    if (judgement_ == nullptr) {
        return {};
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
    return limitText(point.y()) + QStringLiteral(": ") + why;
}

void TrendWindow::redrawAll() {
    data_.renumbered();
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
    data_.update(ActiveLanguage, platform::decimalSeparator());
    plotView->update();
}

Outcome TrendWindow::savePicture(const QString& path) {
    refresh();
    const QPixmap picture = plotView->grab();
    QSaveFile file(path);
    const auto failed = [&path](const QString& why) {
        return Outcome::failed(text(trendTexts(ActiveLanguage).saveError).arg(path, why));
    };
    if (!file.open(QIODevice::WriteOnly)) {
        return failed(file.errorString());
    }
    if (!picture.save(&file, "PNG")) {
        file.cancelWriting();
        return failed(file.errorString().isEmpty() ? QStringLiteral("PNG") : file.errorString());
    }
    if (!file.commit()) {
        return failed(file.errorString());
    }
    return {};
}

void TrendWindow::saveClick() {
    saveDialog->setDirectory(saveDirectory_);
    if (saveDialog->exec() != QDialog::Accepted || saveDialog->selectedFiles().isEmpty()) {
        return;
    }
    tell(savePicture(saveDialog->selectedFiles().constFirst()));
}

QPrinter& TrendWindow::printer() {
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer_->setPageOrientation(QPageLayout::Landscape);
    }
    return *printer_;
}

Outcome TrendWindow::printOn(QPrinter& target) {
    refresh();
    const QString name =
        target.outputFileName().isEmpty() ? target.printerName() : target.outputFileName();
    const Outcome failed = Outcome::failed(text(trendTexts(ActiveLanguage).printError).arg(name));
    QPainter painter;
    if (!painter.begin(&target)) {
        return failed;
    }
    // The whole page, drawn as vectors at the printer's resolution in the proportions of the
    // screen.
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPlotCanvas canvas(painter);
    drawTrendPlot(canvas, data_.plot(), QRectF(0, 0, target.width(), target.height()),
                  target.logicalDpiX() / 96.0);
    if (!painter.end()) {
        return failed;
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
    tell(printOn(job));
}

void TrendWindow::tell(const Outcome& outcome) {
    if (!outcome.ok()) {
        tellWarning(this, windowTitle(), outcome, "TrendErrorBox");
    }
}

} // namespace zt40
