#include "Unit1.h"

#include "Application.h"
#include "AtomicFile.h"
#include "Controls.h"
#include "Cp1252.h"
#include "HelpWindow.h"
#include "JournalBoxes.h"
#include "JournalSession.h"
#include "JournalTexts.h"
#include "Judgement.h"
#include "JudgementPanel.h"
#include "Languages.h"
#include "MeasurementListModel.h"
#include "MeasurementStatistics.h"
#include "PrintLayout.h"
#include "ProfileFile.h"
#include "QPainterCanvas.h"
#include "RegionalSettings.h"
#include "Shell.h"
#include "StatisticsLine.h"
#include "TrendWindow.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"
#include "Unit5.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPersistentModelIndex>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <array>

namespace zt40 {

namespace {

constexpr int ClientWidth = 708;
constexpr int ClientHeight = 539;
constexpr int StatusBarHeight = 19;
constexpr int ValueFontPixels = 32;
constexpr int MinimumValueFontPixels = 10;
// The statistics line sits in the gap between the list and the buttons below it.
const QRect StatisticsLineGeometry(56, 448, 601, 14);
// The trend button joins the help and About icons, to their left.
const QRect TrendButtonGeometry(560, 96, 32, 32);
const QColor DesignBlue(0, 0, 255);
const QColor BannerColour(65, 120, 184);

QFont pixelFont(int pixels, bool bold = false, const QString& family = QString()) {
    QFont font(family.isEmpty() ? QStringLiteral("MS Sans Serif") : family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QLabel* picture(QWidget* parent, const char* name, const QString& resource, int x, int y, int w,
                int h) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setGeometry(x, y, w, h);
    label->setPixmap(QPixmap(resource));
    return label;
}

// The five column titles of the active language.
ColumnTexts columnTitles() {
    ColumnTexts titles;
    for (int k = 0; k < ColumnCount; ++k) {
        titles[static_cast<std::size_t>(k)] = uiText(Slot::FirstColumn + k);
    }
    return titles;
}

// A bold, right-justified caption of a fixed width.
QLabel* captionLabel(QWidget* parent, const char* name, const char* text, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(x, y, 84, 13);
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    label->setFont(QFont(parent->font().family(), 8, QFont::Bold));
    return label;
}

// A speed button: glyph above the text.
QToolButton* speedButton(QWidget* parent, const char* name, const char* text, int x,
                         const QIcon& glyph, QSize glyphSize) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    button->setGeometry(x, 160, 65, 65);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setIcon(glyph);
    button->setIconSize(glyphSize);
    return button;
}

QPushButton* pushButton(QWidget* parent, const char* name, const char* text, QRect geometry) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    return button;
}

void setAutoText(QLabel* label, std::string_view text) {
    setLabelText(label, platform::fromCp1252(text));
}

} // namespace

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("MainForm");
    setWindowTitle("DORVANEX II ZT 40 ");
    setWindowIcon(QIcon(":/images/zt40.png"));
    setFixedSize(ClientWidth, ClientHeight);
    QFont font("MS Sans Serif");
    font.setPointSize(8);
    setFont(font);
    createControls();
    centreOnScreen(this);
}

TMainForm::~TMainForm() {
    FormDestroy();
    // The dialog refers to the printer: it goes first.
    delete PrintDialog1;
    PrintDialog1 = nullptr;
}

void TMainForm::createControls() {
    Image1 = picture(this, "Image1", ":/images/banner.png", 0, 0, 709, 65);

    Label25 = autoLabel(this, "Label25", "DORVANEX II   ZT 40", 176, 80);
    Label25->setFont(pixelFont(32, true));
    Label25->adjustSize();
    setTextColour(Label25, DesignBlue);
    Label9 = autoLabel(this, "Label9", platform::fromCp1252("\xAE"), 376, 72);
    Label9->setFont(pixelFont(16));
    Label9->adjustSize();
    setTextColour(Label9, DesignBlue);

    langFlag = new QLabel(this);
    langFlag->setObjectName("langFlag");
    langFlag->setGeometry(8, 120, 32, 32);
    langFlag->setScaledContents(true);

    langButton = pushButton(this, "langButton", "Language", {48, 120, 75, 33});
    onClick(langButton, &TMainForm::langButtonClick);

    Image4 = picture(this, "Image4", ":/images/help.png", 600, 96, 32, 32);
    Image4->setCursor(Qt::PointingHandCursor);
    Image4->installEventFilter(this);
    Image7 = picture(this, "Image7", ":/images/about.png", 640, 97, 32, 32);
    Image7->setCursor(Qt::PointingHandCursor);
    Image7->installEventFilter(this);
    trendButton = iconButton(this, "trendButton", ":/images/trend.png", TrendButtonGeometry);
    onClick(trendButton, &TMainForm::trendButtonClick);

    Label13 = autoLabel(this, "Label13", "Data", 136, 168);
    Label13->setFont(pixelFont(32));
    Label13->adjustSize();
    Label17 = autoLabel(this, "Label17", " ", 40, 208);
    Label18 = autoLabel(this, "Label18", " ", 56, 208);
    Label19 = autoLabel(this, "Label19", " ", 72, 208);
    for (QLabel* letter : {Label17, Label18, Label19}) {
        letter->setFont(pixelFont(32));
        letter->adjustSize();
    }
    Label8 = new QLabel("?", this);
    Label8->setObjectName("Label8");
    Label8->setGeometry(96, 208, 113, 37);
    Label8->setFont(pixelFont(ValueFontPixels));
    Label8->setAlignment(Qt::AlignRight | Qt::AlignTop);

    // Glyph sources of the light button: Image2 while the option is on, Image3 while off.
    Image2 = picture(this, "Image2", ":/images/light_on.png", 656, 112, 32, 16);
    Image2->hide();
    Image3 = picture(this, "Image3", ":/images/light_off.png", 656, 136, 32, 16);
    Image3->hide();

    messen = speedButton(this, "messen", "Messen", 272, QIcon(":/images/measure.png"), {32, 32});
    licht = speedButton(this, "licht", "Licht", 352, QIcon(Image3->pixmap()), {32, 16});
    onClick(messen, &TMainForm::messenClick);
    onClick(licht, &TMainForm::lichtClick);

    Label2 = captionLabel(this, "Label2", "Serial No.:", 496, 160);
    SerialNr = autoLabel(this, "SerialNr", "?", 584, 160);
    SerialNr->setFont(QFont("Arial", 8));
    SerialNr->adjustSize();
    Label12 = captionLabel(this, "Label12", "Firmware :", 496, 184);
    Label7 = autoLabel(this, "Label7", "?", 584, 184);

    model_ = new MeasurementListModel(this);
    journalBoxes_ = std::make_unique<JournalBoxes>();
    journal_ = new JournalSession(*model_, *journalBoxes_, this);
    ListView1 = new QTreeView(this);
    ListView1->setObjectName("ListView1");
    ListView1->setGeometry(56, 256, 601, 190);
    ListView1->setModel(model_);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSortingEnabled(false);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->header()->setSectionsClickable(false);
    ListView1->header()->setSectionsMovable(false);
    ListView1->header()->setStretchLastSection(false);
    for (int column = 0; column < ColumnCount; ++column) {
        ListView1->setColumnWidth(column, MeasurementListModel::columnWidth(column));
    }
    ListView1->viewport()->installEventFilter(this);

    statistics_ = new MeasurementStatistics(*model_, this);
    statisticsLine = new QLabel(this);
    statisticsLine->setObjectName("statisticsLine");
    statisticsLine->setGeometry(StatisticsLineGeometry);
    statisticsLine->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The vertical scroll bar that a new row may bring in narrows the list, and the horizontal
    // bar that then follows covers the bottom row: once they are in, the list scrolls to its
    // newest row again, once for all the rows appended meanwhile.
    scrollPending_ = new QTimer(this);
    scrollPending_->setSingleShot(true);
    scrollPending_->setInterval(0);
    connect(scrollPending_, &QTimer::timeout, this, [this] {
        if (model_->count() > 0) {
            ListView1->scrollTo(model_->index(model_->count() - 1, 0),
                                QAbstractItemView::EnsureVisible);
        }
    });
    // Rows restored or appended in a burst update the line once, at the next turn of the
    // event loop.
    statisticsPending_ = new QTimer(this);
    statisticsPending_->setSingleShot(true);
    statisticsPending_->setInterval(0);
    connect(statisticsPending_, &QTimer::timeout, this, &TMainForm::showStatistics);
    connect(statistics_, &MeasurementStatistics::changed, statisticsPending_,
            qOverload<>(&QTimer::start));

    clearD = pushButton(this, "clearD", "Clear Data", {80, 464, 97, 25});
    clearL = pushButton(this, "clearL", "Clear Line", {304, 464, 97, 25});
    exportB = pushButton(this, "exportB", "Export", {536, 464, 97, 25});
    onClick(clearD, &TMainForm::clearDClick);
    onClick(clearL, &TMainForm::clearLClick);
    onClick(exportB, &TMainForm::exportBClick);

    judgementPanel_ = new JudgementPanel(*this, *ListView1, *model_, *statistics_, *this);
    connect(&judgementPanel_->judgement(), &MeasurementJudgement::changed, statisticsPending_,
            qOverload<>(&QTimer::start));

    SaveDialog1 = new QFileDialog(this, QStringLiteral("Save"));
    SaveDialog1->setObjectName("SaveDialog1");
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setFileMode(QFileDialog::AnyFile);
    SaveDialog1->setNameFilter(QStringLiteral("dat-Datei (*.dat)"));
    SaveDialog1->setDefaultSuffix(QStringLiteral("dat"));
    SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite);

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName("StatusBar");
    StatusBar->setSizeGripEnabled(false);
    StatusBar->setGeometry(0, ClientHeight - StatusBarHeight, ClientWidth, StatusBarHeight);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(PollIntervalStartMs);
    connect(Timer1, &QTimer::timeout, this, [this] { runHandler([this] { Timer1Timer(); }); });
    Timer2 = new QTimer(this);
    Timer2->setObjectName("Timer2");
    Timer2->setInterval(ReconnectIntervalMs);
    connect(Timer2, &QTimer::timeout, this, [this] { runHandler([this] { Timer2Timer(); }); });
}

void TMainForm::onClick(QAbstractButton* button, void (TMainForm::*handler)()) {
    connect(button, &QAbstractButton::clicked, this,
            [this, handler] { runHandler([this, handler] { (this->*handler)(); }); });
}

void TMainForm::setDialogs(TForm2* form2, TForm3* form3, TselectLanguage* selectLanguage,
                           TForm5* form5) {
    Form2_ = form2;
    Form3_ = form3;
    selectLanguage_ = selectLanguage;
    Form5_ = form5;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == Image4) {
            runHandler([this] { Image4Click(); });
            return true;
        }
        if (watched == Image7) {
            runHandler([this] { Image7Click(); });
            return true;
        }
    }
    if (watched == ListView1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        runHandler([this] { ListView1DblClick(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ---- Start-up and end ---------------------------------------------------------------------

void TMainForm::FormCreate() {
    paths_ = platform::programPaths();
    clipboard_ = QGuiApplication::clipboard();
    exportLines_.clear();

    ReadLanguageSetting();
    useQtTranslations(ActiveLanguage);
    FillLanguageTables();
    // A flag picture that cannot be loaded is reported, but must not keep the instrument
    // switched off until the next start.
    runHandler([this] { ApplyLanguage(); });
    // Rows a crashed run left behind come back before the first reading of this one.
    runHandler([this] { journal_->startUp(paths_.userDataDirectory); });
    judgementPanel_->startUp(paths_.settingsFile, paths_.saveDirectory);

    setWindowTitle(windowTitle() + QStringLiteral(" (USB)"));

    poll_.start();
}

void TMainForm::FormDestroy() {
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    Timer1->stop();
    Timer2->stop();
    link_.Close();
    journal_->finish(closedCleanly_);
    clipboard_ = nullptr;
    exportLines_.clear();
}

// ---- Languages ----------------------------------------------------------------------------

void TMainForm::ReadLanguageSetting() {
    const ProfileFile settings(paths_.settingsFile.toStdString());
    const int language = settings.ReadInteger("Config", "Language", LanguageEnglish);
    // A number we have no table for is taken as English.
    ActiveLanguage = languageTable(language) != nullptr ? language : LanguageEnglish;
}

void TMainForm::WriteLanguageSetting() {
    // Installed, the settings live in a folder of the user's that may not exist yet.
    QDir().mkpath(QFileInfo(paths_.settingsFile).absolutePath());
    const ProfileFile settings(paths_.settingsFile.toStdString());
    raiseOnFailure(settings.WriteInteger("Config", "Language", ActiveLanguage));
}

Outcome TMainForm::loadFlag() {
    // From the program directory, whatever the current directory has become since.
    const QString path =
        paths_.dataDirectory + platform::fromCp1252(::zt40::uiText(Slot::FlagIcon));
    QImageReader reader(path);
    const QImage image = reader.read();
    if (image.isNull()) {
        return Outcome::failed(QStringLiteral("Cannot open file \"%1\". %2")
                                   .arg(QDir::toNativeSeparators(path), reader.errorString()));
    }
    langFlag->setPixmap(QPixmap::fromImage(image));
    return {};
}

void TMainForm::ApplyLanguage() {
    copyLanguageToUiText(ActiveLanguage);

    setAutoText(Label13, ::zt40::uiText(Slot::DataCaption));
    messen->setText(platform::fromCp1252(::zt40::uiText(Slot::Measure)));
    licht->setText(platform::fromCp1252(::zt40::uiText(Slot::Light)));
    Label2->setText(platform::fromCp1252(::zt40::uiText(Slot::SerialCaption)));
    Label12->setText(platform::fromCp1252(::zt40::uiText(Slot::FirmwareCaption)));
    clearD->setText(platform::fromCp1252(::zt40::uiText(Slot::ClearData)));
    clearL->setText(platform::fromCp1252(::zt40::uiText(Slot::ClearLine)));
    exportB->setText(platform::fromCp1252(::zt40::uiText(Slot::Export)));

    model_->setColumnCaptions(columnTitles());
    judgementPanel_->applyLanguage();
    showStatistics();
    trendButton->setToolTip(platform::fromCp1252(trendTexts(ActiveLanguage).title));
    if (trendWindow_ != nullptr) {
        trendWindow_->applyLanguage();
    }

    // A flag that cannot be loaded ends the language's application there: the button keeps
    // its caption and the banner its colours, as after any failed step of a handler.
    raiseOnFailure(loadFlag());

    langButton->setText(platform::fromCp1252(::zt40::uiText(Slot::LanguageButton)));
    setTextColour(Label25, BannerColour);
    setTextColour(Label9, BannerColour);
}

void TMainForm::langButtonClick() {
    const int result = selectLanguage_->exec();
    useQtTranslations(ActiveLanguage);
    if (result != 0) {
        WriteLanguageSetting();
    }
    ApplyLanguage();
}

void TMainForm::Image4Click() {
    const QString path = paths_.dataDirectory + QString::fromLatin1(helpFileName(ActiveLanguage));
    // Where the desktop has a program for .chm files, that program opens the file and tells
    // of any trouble itself. Elsewhere our own window shows the same pages, so that the help
    // never fails silently.
    if (platform::desktopOpens(platform::toCp1252(path))) {
        platform::openDocument(platform::toCp1252(path));
        return;
    }
    if (helpWindow_ == nullptr) {
        helpWindow_ = new HelpWindow(this);
    }
    if (!helpWindow_->showHelp(paths_.dataDirectory, ActiveLanguage)) {
        QMessageBox box(QMessageBox::Information, QString::fromLatin1(ApplicationTitle),
                        platform::fromCp1252(helpTexts(ActiveLanguage).pagesMissing) +
                            QLatin1Char('\n') +
                            QDir::toNativeSeparators(paths_.dataDirectory + QStringLiteral("help")),
                        QMessageBox::Ok, this);
        box.setObjectName("HelpMissingBox");
        box.exec();
    }
}

void TMainForm::Image7Click() {
    Form5_->exec();
}

// ---- Poll cycle ---------------------------------------------------------------------------

void TMainForm::Timer1Timer() {
    poll_.Timer1Timer();
}
void TMainForm::Timer2Timer() {
    poll_.Timer2Timer();
}
void TMainForm::messenClick() {
    poll_.messenClick();
}
void TMainForm::lichtClick() {
    poll_.lichtClick();
}

void TMainForm::setFirmwareText(std::string_view text) {
    setAutoText(Label7, text);
}
void TMainForm::setSerialText(std::string_view text) {
    setAutoText(SerialNr, text);
}
void TMainForm::setValueText(std::string_view text) {
    // A value wider than its fixed display would lose its leading digits: the font then
    // shrinks until the whole value fits.
    const QString shown = platform::fromCp1252(text);
    // Leading blanks may run off the left edge; the characters after them must not.
    QString visible = shown;
    while (visible.startsWith(QLatin1Char(' '))) {
        visible.remove(0, 1);
    }
    QFont font = Label8->font();
    int pixels = ValueFontPixels;
    font.setPixelSize(pixels);
    while (pixels > MinimumValueFontPixels &&
           QFontMetrics(font).horizontalAdvance(visible) > Label8->width()) {
        font.setPixelSize(--pixels);
    }
    Label8->setFont(font);
    Label8->setText(shown);
}

void TMainForm::setModeLetters(char l, char c, char d) {
    setAutoText(Label17, std::string_view(&l, 1));
    setAutoText(Label18, std::string_view(&c, 1));
    setAutoText(Label19, std::string_view(&d, 1));
}

void TMainForm::setStatusText(std::string_view text) {
    StatusBar->showMessage(platform::fromCp1252(text));
}

void TMainForm::showLightButton(bool on) {
    licht->setIcon(QIcon((on ? Image2 : Image3)->pixmap()));
}

void TMainForm::setTimer1Enabled(bool enabled) {
    if (!enabled) {
        Timer1->stop();
    } else if (!Timer1->isActive()) {
        Timer1->start();
    }
}

void TMainForm::setTimer2Enabled(bool enabled) {
    if (!enabled) {
        Timer2->stop();
    } else if (!Timer2->isActive()) {
        Timer2->start();
    }
}

void TMainForm::setTimer1Interval(int milliseconds) {
    if (Timer1->interval() != milliseconds) {
        Timer1->setInterval(milliseconds);
    }
}

std::string TMainForm::uiText(int slot) {
    return ::zt40::uiText(slot);
}
std::string TMainForm::currentDateText() {
    return platform::currentDateText();
}
std::string TMainForm::currentTimeText() {
    return platform::currentTimeText();
}
char TMainForm::decimalSeparator() {
    return platform::decimalSeparator();
}

bool TMainForm::Open() {
    return link_.Open();
}
bool TMainForm::Exchange(InstrumentFrame& frame) {
    return link_.Exchange(frame);
}
void TMainForm::Close() {
    link_.Close();
}

QString TMainForm::serialText() const {
    return SerialNr->text();
}

QString TMainForm::firmwareText() const {
    return Label7->text();
}

// ---- Measurement list ---------------------------------------------------------------------

void TMainForm::appendMeasurementRow(std::string_view date, std::string_view time,
                                     std::string_view mode, std::string_view value) {
    // A row that arrives while a comment is being edited must not take that comment.
    const std::string comment = commentEditOpen_ ? std::string() : commentBufferText();
    model_->appendRow(date, time, mode, value, comment); // the model trims mode, value, comment
    const QModelIndex last = model_->index(model_->count() - 1, 0);
    ListView1->selectionModel()->setCurrentIndex(last, QItemSelectionModel::ClearAndSelect |
                                                           QItemSelectionModel::Rows);
    ListView1->scrollTo(last, QAbstractItemView::EnsureVisible);
    scrollPending_->start();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!closingAgreed()) {
        event->ignore();
        return;
    }
    // The program ends: no reading may arrive after the answer.
    closedCleanly_ = true;
    Timer1->stop();
    Timer2->stop();
    event->accept();
}

void TMainForm::showStatistics() {
    statisticsPending_->stop();
    const QString line = platform::fromCp1252(joinedStatisticsItems(
        judgementPanel_->statisticsItems(ActiveLanguage, platform::decimalSeparator())));
    // A line too long for its place ends in an ellipsis and shows whole as its tooltip.
    const QString shown =
        statisticsLine->fontMetrics().elidedText(line, Qt::ElideRight, statisticsLine->width());
    statisticsLine->setText(shown);
    statisticsLine->setToolTip(shown == line ? QString() : line);
}

void TMainForm::trendButtonClick() {
    if (trendWindow_ == nullptr) {
        trendWindow_ = new TrendWindow(*model_, *statistics_, paths_.saveDirectory, this);
        trendWindow_->setJudgement(&judgementPanel_->judgement());
    }
    trendWindow_->show();
    trendWindow_->raise();
    trendWindow_->activateWindow();
}

bool TMainForm::closingAgreed() {
    // No reading may arrive unseen behind the question: polling (and reconnecting, which
    // would start it again) pauses while it is open and goes on after No.
    const bool polling = Timer1->isActive();
    const bool reconnecting = Timer2->isActive();
    Timer1->stop();
    Timer2->stop();
    while (model_->hasUnexported()) {
        const std::uint64_t asked = model_->changeMark();
        if (!askYesNo(platform::fromCp1252(::zt40::uiText(Slot::QuestionTitle)),
                      platform::fromCp1252(journalTexts(ActiveLanguage).unsavedClose),
                      "CloseQuestionBox")) {
            setTimer1Enabled(polling);
            setTimer2Enabled(reconnecting);
            return false;
        }
        if (model_->changeMark() == asked) {
            break; // Yes to exactly what the question counted
        }
    }
    return true;
}

bool TMainForm::confirm() {
    return askYesNo(platform::fromCp1252(::zt40::uiText(Slot::QuestionTitle)),
                    platform::fromCp1252(::zt40::uiText(Slot::Question)), "QuestionBox");
}

void TMainForm::clearDClick() {
    if (!confirm()) {
        return;
    }
    exportLines_.clear();
    model_->clearRows();
}

void TMainForm::clearLClick() {
    // The row meant is the one selected when the question was asked, even if a reading
    // arrives and takes the selection while the question is open.
    std::vector<QPersistentModelIndex> chosen;
    for (const QModelIndex& index : ListView1->selectionModel()->selectedRows()) {
        chosen.emplace_back(index);
    }
    if (!confirm()) {
        return;
    }
    for (const QPersistentModelIndex& index : chosen) {
        if (index.isValid()) {
            model_->removeRowAt(index.row());
        }
    }
}

void TMainForm::ListView1DblClick() {
    for (int i = 0; i < model_->count(); ++i) {
        if (!ListView1->selectionModel()->isRowSelected(i, QModelIndex())) {
            continue;
        }
        setCommentBuffer(model_->text(i, ColComment));
        commentEditOpen_ = true;
        const int result = Form2_->exec();
        commentEditOpen_ = false;
        if (result == QDialog::Accepted && i < model_->count()) {
            model_->setComment(i, commentBufferText());
        }
        clearCommentBuffer();
    }
}

// ---- Export and printing ------------------------------------------------------------------

void TMainForm::exportBClick() {
    const std::uint64_t exported = model_->changeMark();
    buildExportLines(exportLines_, *model_, columnTitles());
    // The text is on the clipboard before the user chooses, whatever the choice.
    clipboard_->setText(exportLines_.unicodeText());

    if (Form3_->exec() != QDialog::Accepted) {
        return;
    }
    switch (Form3_->ExportChoice) {
    case 0:
        // The rows reach a file only when the user pastes and saves them in the spreadsheet,
        // which this program cannot see: they stay unexported.
        if (!platform::startSpreadsheet()) {
            QMessageBox box(QMessageBox::Information, QString::fromLatin1(ApplicationTitle),
                            platform::fromCp1252(exportTexts(ActiveLanguage).spreadsheetMissing),
                            QMessageBox::Ok, this);
            box.setObjectName("SpreadsheetMissingBox");
            box.exec();
        }
        break;
    case 1:
        if (saveExportToFile()) {
            model_->markExported(exported);
        }
        break;
    case 2:
        printMeasurementList();
        break;
    default:
        break;
    }
}

bool TMainForm::saveExportToFile() {
    SaveDialog1->setDirectory(paths_.saveDirectory);
    // The last chosen file by name; the folder is always the program directory.
    SaveDialog1->selectFile(lastSaveFile_.isEmpty() ? QStringLiteral("*.dat")
                                                    : QFileInfo(lastSaveFile_).fileName());
    if (SaveDialog1->exec() != QDialog::Accepted || SaveDialog1->selectedFiles().isEmpty()) {
        return false;
    }
    lastSaveFile_ = SaveDialog1->selectedFiles().constFirst();
    // Replaced as a whole, so an existing file is never left emptied or half-written.
    raiseOnFailure(platform::writeFileAtomically(lastSaveFile_, exportLines_.text()));
    return true;
}

QPrinter& TMainForm::printer() {
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    }
    return *printer_;
}

void TMainForm::printMeasurementList() {
    // The list must not grow under the job: no polling from before the print dialog to the
    // end, and polling again afterwards however the print ends.
    setTimer1Enabled(false);
    const std::uint64_t printed = model_->changeMark();
    struct PollingResumes {
        TMainForm* form;
        ~PollingResumes() { form->setTimer1Enabled(true); }
    } resume{this};

    QPrinter& job = printer();
    if (PrintDialog1 == nullptr) {
        PrintDialog1 = new QPrintDialog(&job, this);
        PrintDialog1->setObjectName("PrintDialog1");
    }
    if (PrintDialog1->exec() != QDialog::Accepted) {
        return;
    }
    raiseOnFailure(printMeasurementListOn(job, *model_, columnTitles(), ActiveLanguage));
    model_->markExported(printed);
}

} // namespace zt40
