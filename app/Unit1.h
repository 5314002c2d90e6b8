// The main window: displays, the measurement list, the buttons and both timers. It is the
// poll cycle's surroundings and owns the instrument link for its whole lifetime.
#pragma once

#include "ExportText.h"
#include "InstrumentLink.h"
#include "JudgementPanel.h"
#include "Outcome.h"
#include "PollCycle.h"
#include "ProgramPaths.h"

#include <QString>

#include <QWidget>
#include <memory>

#include <string>
#include <vector>

class QAbstractButton;
class QCloseEvent;
class QClipboard;
class QFileDialog;
class QLabel;
class QPushButton;
class QStatusBar;
class QTimer;
class QToolButton;
class QTreeView;
class QPrintDialog;
class QPrinter;

namespace zt40 {

class JournalBoxes;
class JournalSession;
class MeasurementListModel;
class HelpWindow;
class MeasurementStatistics;
class TForm2;
class TForm3;
class TForm5;
class TselectLanguage;
class TrendWindow;

class TMainForm : public QWidget, public PollSurroundings, private JudgementHost {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The dialogs are created after the main window and handed over here.
    void setDialogs(TForm2* form2, TForm3* form3, TselectLanguage* selectLanguage, TForm5* form5);

    void FormCreate();
    void FormDestroy();

    void ReadLanguageSetting();
    void WriteLanguageSetting();
    void ApplyLanguage();

    // Event handlers.
    void Timer1Timer();
    void Timer2Timer();
    void messenClick();
    void lichtClick();
    void ListView1DblClick();
    void clearDClick();
    void clearLClick();
    void exportBClick();
    void langButtonClick();
    void Image4Click();
    void Image7Click();
    void printMeasurementList();
    void trendButtonClick();

    // PollSurroundings.
    void setFirmwareText(std::string_view text) override;
    void setSerialText(std::string_view text) override;
    void setValueText(std::string_view text) override;
    void setModeLetters(char l, char c, char d) override;
    void setStatusText(std::string_view text) override;
    void showLightButton(bool on) override;
    void setTimer1Enabled(bool enabled) override;
    void setTimer2Enabled(bool enabled) override;
    void setTimer1Interval(int milliseconds) override;
    void appendMeasurementRow(std::string_view date, std::string_view time, std::string_view mode,
                              std::string_view value) override;
    std::string uiText(int slot) override;
    std::string currentDateText() override;
    std::string currentTimeText() override;
    char decimalSeparator() override;
    bool Open() override;
    bool Exchange(InstrumentFrame& frame) override;
    void Close() override;

    const QString& programDirectory() const { return paths_.programDirectory; }
    HelpWindow* helpWindow() const { return helpWindow_; }
    const ExportLineList& exportLines() const { return exportLines_; }
    MeasurementListModel& measurementList() { return *model_; }
    const platform::ProgramPaths& paths() const { return paths_; }
    // Limits, samples, verdicts and the report.
    JudgementPanel& judgementPanel() const { return *judgementPanel_; }
    // The trend window, made when first opened; nullptr before.
    TrendWindow* trendWindow() const { return trendWindow_; }
    const PollCycle& pollCycle() const { return poll_; }

    // Controls, named as in the window layout.
    QLabel* Image1 = nullptr;
    QLabel* Label25 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* langFlag = nullptr;
    QPushButton* langButton = nullptr;
    QLabel* Image4 = nullptr;
    QLabel* Image7 = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* Label17 = nullptr;
    QLabel* Label18 = nullptr;
    QLabel* Label19 = nullptr;
    QLabel* Label8 = nullptr;
    QToolButton* messen = nullptr;
    QToolButton* licht = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* Image3 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* SerialNr = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label7 = nullptr;
    QTreeView* ListView1 = nullptr;
    QPushButton* clearD = nullptr;
    QPushButton* clearL = nullptr;
    QPushButton* exportB = nullptr;
    // Beyond the designed layout, in space no designed control uses.
    QLabel* statisticsLine = nullptr;
    QToolButton* trendButton = nullptr;
    QStatusBar* StatusBar = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QFileDialog* SaveDialog1 = nullptr;
    QPrintDialog* PrintDialog1 = nullptr; // made with the printer at the first print

    // The printer of the print jobs, made at the first print.
    QPrinter& printer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Readings not exported since their last change are not closed away without a question.
    void closeEvent(QCloseEvent* event) override;

private:
    // JudgementHost: what the report names and how it draws the trend.
    QString serialText() const override;
    QString firmwareText() const override;
    const TrendWindow* shownTrend() const override { return trendWindow_; }

    void createControls();
    // Wires a button to a handler that runs under the general error handler.
    void onClick(QAbstractButton* button, void (TMainForm::*handler)());
    // The yes/no question before a clear; true for Yes.
    bool confirm();
    // Closing with readings not exported since their last change: true when the user agrees.
    bool closingAgreed();
    Outcome loadFlag();
    bool saveExportToFile();
    void showStatistics();

    InstrumentLink link_;
    PollCycle poll_{*this};
    MeasurementListModel* model_ = nullptr;
    std::unique_ptr<JournalBoxes> journalBoxes_;
    JournalSession* journal_ = nullptr;
    MeasurementStatistics* statistics_ = nullptr;
    QTimer* statisticsPending_ = nullptr;
    QTimer* scrollPending_ = nullptr;
    TrendWindow* trendWindow_ = nullptr;
    JudgementPanel* judgementPanel_ = nullptr;

    platform::ProgramPaths paths_;
    ExportLineList exportLines_;
    QString lastSaveFile_;
    std::unique_ptr<QPrinter> printer_;
    QClipboard* clipboard_ = nullptr;
    HelpWindow* helpWindow_ = nullptr; // made at the first help without a .chm program
    bool commentEditOpen_ = false;
    bool destroyed_ = false;
    bool closedCleanly_ = false;

    TForm2* Form2_ = nullptr;
    TForm3* Form3_ = nullptr;
    TselectLanguage* selectLanguage_ = nullptr;
    TForm5* Form5_ = nullptr;
};

} // namespace zt40
