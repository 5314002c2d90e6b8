// What the main window gains for judging readings: the Limits button beside the trend button,
// the Report button between Clear Line and Export, the Limits window, the settings kept in the
// settings file, the verdicts painted in the list, the items the statistics line gains, and
// the PDF report.
#pragma once

#include "JudgementSettings.h"
#include "Outcome.h"

#include <QObject>
#include <QString>

#include <string>
#include <vector>

class QFileDialog;
class QPainter;
class QPushButton;
class QRectF;
class QToolButton;
class QTreeView;
class QWidget;

namespace zt40 {

class LimitsWindow;
class MeasurementJudgement;
class MeasurementListModel;
class MeasurementStatistics;
class TrendWindow;
class VerdictDelegate;

// What the panel asks of the window it sits on, beyond its list and statistics: what the
// report names and how the trend is shown there.
class JudgementHost {
public:
    virtual ~JudgementHost() = default;
    // The instrument's serial number and firmware as the window shows them.
    virtual QString serialText() const = 0;
    virtual QString firmwareText() const = 0;
    // The trend window, whose choices the report's plot follows; nullptr while none was opened.
    virtual const TrendWindow* shownTrend() const = 0;
};

class JudgementPanel : public QObject {
    Q_OBJECT
public:
    // Makes the controls on `window`, paints the verdicts in `view`, judges the rows of `list`.
    JudgementPanel(QWidget& window, QTreeView& view, MeasurementListModel& list,
                   MeasurementStatistics& statistics, const JudgementHost& host);

    // At start-up: the settings from the settings file, the save folder of the report.
    void startUp(const QString& settingsFile, const QString& saveDirectory);
    void applyLanguage();

    const JudgementSettings& settings() const { return settings_; }
    // Sets limits and sample size as the Limits window does, and keeps them in the file. They
    // are in use even when the file cannot be written; that goes to the general error handler.
    void setSettings(const JudgementSettings& settings);
    MeasurementJudgement& judgement() const { return *judgement_; }

    // The items the statistics line gains, Windows-1252.
    std::vector<std::string> statisticsItems(int language, char separator) const;

    void limitsButtonClick();
    void reportButtonClick();
    // Writes the report of the list as it is now.
    Outcome saveReport(const QString& path);

    QToolButton* limitsButton = nullptr;
    QPushButton* reportButton = nullptr;
    LimitsWindow* limitsWindow = nullptr;
    QFileDialog* reportDialog = nullptr;
    VerdictDelegate* delegate = nullptr;

private:
    // Takes the settings for judging, without writing them.
    void use(const JudgementSettings& settings);
    void drawTrend(QPainter& painter, const QRectF& area) const;

    QWidget& window_;
    MeasurementListModel& list_;
    MeasurementStatistics& statistics_;
    const JudgementHost& host_;
    MeasurementJudgement* judgement_ = nullptr;
    JudgementSettings settings_;
    QString settingsFile_;
    QString saveDirectory_;
};

} // namespace zt40
