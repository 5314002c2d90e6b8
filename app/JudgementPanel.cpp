#include "JudgementPanel.h"

#include "Application.h"
#include "Controls.h"
#include "Cp1252.h"
#include "Judgement.h"
#include "JudgementLine.h"
#include "JudgementTexts.h"
#include "Languages.h"
#include "LimitsWindow.h"
#include "MeasurementListModel.h"
#include "MeasurementStatistics.h"
#include "RegionalSettings.h"
#include "ReportWriter.h"
#include "StatisticsLine.h"
#include "SystemInfo.h"
#include "TrendData.h"
#include "TrendWindow.h"
#include "Unit5.h"
#include "VerdictDelegate.h"

#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>

namespace zt40 {

namespace {

// Beside the trend button, to its left, in the same row as the help and About icons.
const QRect LimitsButtonGeometry(520, 96, 32, 32);
// In the row of the list's buttons, between Clear Line and Export.
const QRect ReportButtonGeometry(420, 464, 97, 25);

QString text(const char* cp1252) {
    return platform::fromCp1252(cp1252);
}

} // namespace

JudgementPanel::JudgementPanel(QWidget& window, QTreeView& view, MeasurementListModel& list,
                               MeasurementStatistics& statistics, const JudgementHost& host)
    : QObject(&window), window_(window), list_(list), statistics_(statistics), host_(host) {
    setObjectName("JudgementPanel");
    judgement_ = new MeasurementJudgement(list, this);
    QWidget* form = &window;

    limitsButton = iconButton(form, "limitsButton", ":/images/limits.png", LimitsButtonGeometry);
    connect(limitsButton, &QToolButton::clicked, this,
            [this] { runHandler([this] { limitsButtonClick(); }); });

    reportButton = new QPushButton(form);
    reportButton->setObjectName("reportButton");
    reportButton->setGeometry(ReportButtonGeometry);
    connect(reportButton, &QPushButton::clicked, this,
            [this] { runHandler([this] { reportButtonClick(); }); });

    limitsWindow = new LimitsWindow(form);

    reportDialog = new QFileDialog(form);
    reportDialog->setObjectName("ReportDialog");
    reportDialog->setAcceptMode(QFileDialog::AcceptSave);
    reportDialog->setFileMode(QFileDialog::AnyFile);
    reportDialog->setNameFilter(QStringLiteral("PDF (*.pdf)"));
    reportDialog->setDefaultSuffix(QStringLiteral("pdf"));

    delegate = new VerdictDelegate(*judgement_, this);
    view.setItemDelegate(delegate);
    connect(judgement_, &MeasurementJudgement::changed, view.viewport(),
            [view = &view] { view->viewport()->update(); });
    applyLanguage();
}

void JudgementPanel::startUp(const QString& settingsFile, const QString& saveDirectory) {
    settingsFile_ = settingsFile;
    saveDirectory_ = saveDirectory;
    std::optional<UnreadableSetting> unreadable;
    use(readJudgementSettings(settingsFile.toStdString(), &unreadable));
    if (unreadable) {
        // Told once, here: the limits stay off until they are entered again.
        tellWarning(&window_, QString::fromLatin1(ApplicationTitle),
                    text(settingsFileTexts(ActiveLanguage).unreadableLimit)
                        .arg(QDir::toNativeSeparators(settingsFile),
                             platform::fromCp1252(unreadable->key + "=" + unreadable->value)),
                    "SettingsErrorBox");
    }
}

void JudgementPanel::use(const JudgementSettings& settings) {
    settings_ = settings;
    judgement_->setLimits(effectiveLimits(settings.limits));
    judgement_->setSampleSize(settings.sampleSize);
}

void JudgementPanel::applyLanguage() {
    limitsButton->setToolTip(text(limitsTexts(ActiveLanguage).title));
    reportButton->setText(text(reportTexts(ActiveLanguage).button));
    reportDialog->setWindowTitle(text(reportTexts(ActiveLanguage).saveTitle));
}

void JudgementPanel::setSettings(const JudgementSettings& settings) {
    use(settings);
    QDir().mkpath(QFileInfo(settingsFile_).absolutePath());
    raiseOnFailure(writeJudgementSettings(settingsFile_.toStdString(), settings));
}

std::vector<std::string> JudgementPanel::statisticsItems(int language, char separator) const {
    std::vector<std::string> items = statisticsLineItems(statistics_, language, separator);
    for (std::string& item : judgementLineItems(*judgement_, statistics_.values(),
                                                statistics_.decimals() + 1, language, separator)) {
        items.push_back(std::move(item));
    }
    return items;
}

void JudgementPanel::limitsButtonClick() {
    limitsWindow->setSettings(settings_, platform::decimalSeparator());
    if (limitsWindow->exec() != QDialog::Accepted) {
        return;
    }
    setSettings(limitsWindow->settings());
}

void JudgementPanel::drawTrend(QPainter& painter, const QRectF& area) const {
    // The plot the trend window shows, with its choices of axis and sample means.
    TrendData data(list_, statistics_);
    data.setJudgement(judgement_);
    if (const TrendWindow* shown = host_.shownTrend()) {
        data.setSampleMeans(shown->sampleMeansChoice->isChecked());
        data.setAxis(shown->axis());
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPlotCanvas canvas(painter);
    drawTrendPlot(canvas, data.update(ActiveLanguage, platform::decimalSeparator()), area,
                  painter.device()->logicalDpiX() / 96.0);
    painter.restore();
}

Outcome JudgementPanel::saveReport(const QString& path) {
    const char separator = platform::decimalSeparator();
    ReportContent content;
    content.language = ActiveLanguage;
    content.separator = separator;
    content.program = QStringLiteral("%1 %2").arg(
        QString::fromLatin1(ApplicationTitle),
        QString::fromStdString(TForm5::versionText(platform::builtInVersion())));
    content.serial = host_.serialText();
    content.firmware = host_.firmwareText();
    content.created = QDateTime::currentDateTime();
    content.createdText =
        platform::fromCp1252(platform::dateText(QLocale::system(), content.created)) +
        QLatin1Char(' ') +
        platform::fromCp1252(platform::timeText(QLocale::system(), content.created));
    content.user = platform::fromCp1252(platform::loginName());
    content.settings = settings_;
    content.statisticsItems = statisticsItems(ActiveLanguage, separator);
    content.decimals = statistics_.decimals() + 1;
    content.list = &list_;
    if (statistics_.values().count() > 0) {
        content.drawTrend = [this](QPainter& painter, const QRectF& area) {
            drawTrend(painter, area);
        };
    }
    return writeReport(path, content);
}

void JudgementPanel::reportButtonClick() {
    const std::uint64_t mark = list_.changeMark();
    reportDialog->setDirectory(saveDirectory_);
    reportDialog->selectFile(
        QStringLiteral("zt40-%1.pdf").arg(QDate::currentDate().toString(Qt::ISODate)));
    if (reportDialog->exec() != QDialog::Accepted || reportDialog->selectedFiles().isEmpty()) {
        return;
    }
    const Outcome saved = saveReport(reportDialog->selectedFiles().constFirst());
    if (!saved.ok()) {
        tellWarning(&window_, QString::fromLatin1(ApplicationTitle), saved, "ReportErrorBox");
        return;
    }
    // A saved report is an export of the readings it holds.
    list_.markExported(mark);
}

} // namespace zt40
