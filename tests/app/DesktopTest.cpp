// The program on a Linux desktop: Qt's dialogs in the active language, the help without a
// .chm program, and window titles without anything appended.
#include "AppTestSupport.h"

#include "Application.h"
#include "Cp1252.h"
#include "HelpWindow.h"
#include "Languages.h"
#include "MeasurementListModel.h"
#include "Unit3.h"
#include "Unit4.h"
#include "Unit5.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <gtest/gtest.h>

namespace zt40::test {

namespace {

QStringList buttonTexts(QWidget* window) {
    QStringList texts;
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (button->isVisible())
            texts << button->text().remove('&');
    }
    texts.sort();
    return texts;
}

class Desktop : public ::testing::Test {
protected:
    void SetUp() override { useSimulator(false); }
    void TearDown() override { useQtTranslations(LanguageEnglish); }
    void startIn(int language) {
        writeFile(dir.path("zt40.ini"),
                  "[Config]\r\nLanguage=" + std::to_string(language) + "\r\n");
        program = startProgram();
    }
    ProgramDirectory dir;
    std::unique_ptr<Program> program;
};

TEST_F(Desktop, QtsDialogsSpeakTheActiveLanguageFromTheStartAndAfterEachChange) {
    struct Case {
        int start;
        int chosen; // -1: no change
        QStringList box;
        const char* fileDialogCancel;
    } cases[] = {
        {LanguageGerman, -1, {"Ja", "Nein"}, "Abbrechen"},
        {LanguageFrench, -1, {"Non", "Oui"}, "Annuler"},
        {LanguageEnglish, LanguageGerman, {"Ja", "Nein"}, "Abbrechen"},
        {LanguageGerman, LanguageFrench, {"Non", "Oui"}, "Annuler"},
        {LanguageFrench, LanguageEnglish, {"No", "Yes"}, "Cancel"},
    };
    for (const Case& c : cases) {
        ProgramDirectory own; // a fresh start each time, without the journal of the last one
        writeFile(own.path("zt40.ini"), "[Config]\r\nLanguage=" + std::to_string(c.start) + "\r\n");
        program = startProgram();
        TMainForm& form = *program->MainForm;
        if (c.chosen >= 0)
            chooseLanguage(form, c.chosen);
        form.appendMeasurementRow("01.02.2026", "10:00:00", "C", "1.0");

        // Answering with the no button of the real box keeps the rows.
        QStringList seen;
        onModal([&](QWidget* box) {
            seen = buttonTexts(box);
            static_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
        });
        form.clearDClick();
        EXPECT_EQ(seen.join('/').toStdString(), c.box.join('/').toStdString())
            << c.start << "->" << c.chosen;
        EXPECT_EQ(form.measurementList().count(), 1);

        QStringList fileDialog;
        for (QPushButton* button : form.SaveDialog1->findChildren<QPushButton*>())
            fileDialog << button->text().remove('&');
        EXPECT_TRUE(fileDialog.contains(c.fileDialogCancel)) << fileDialog.join('|').toStdString();
        program.reset();
    }
}

// Help pages of the program directory: a contents page and one more per language.
void writeHelpPages(const ProgramDirectory& dir) {
    for (const char* lang : {"de", "en"}) {
        QDir(dir.root()).mkpath(QString("help/") + lang);
        const std::string folder = std::string("help/") + lang + "/";
        writeFile(dir.path(QString::fromStdString(folder + "index.html")),
                  std::string("<html><head><title>index ") + lang +
                      "</title></head><body><a href=\"measure.html\">m</a></body></html>");
        writeFile(dir.path(QString::fromStdString(folder + "measure.html")),
                  std::string("<html><head><title>measure ") + lang + "</title></head></html>");
    }
}

TEST_F(Desktop, WithoutAChmProgramTheHelpWindowShowsThePagesOfTheActiveLanguage) {
    TestDesktop desktop;
    writeHelpPages(dir);
    struct Case {
        int language;
        const char* title;
        const char* back;
    } cases[] = {{LanguageEnglish, "index en", "Back"},
                 {LanguageGerman, "index de",
                  "Zur\xFC"
                  "ck"},
                 {LanguageFrench, "index en",
                  "Pr\xE9"
                  "c\xE9"
                  "dent"}};
    startIn(LanguageEnglish);
    TMainForm& form = *program->MainForm;
    for (const Case& c : cases) {
        if (c.language != ActiveLanguage)
            chooseLanguage(form, c.language);
        form.Image4Click();
        HelpWindow* help = form.helpWindow();
        ASSERT_NE(help, nullptr);
        EXPECT_TRUE(help->isVisible());
        EXPECT_EQ(help->windowTitle(), c.title);
        EXPECT_EQ(help->findChild<QToolButton*>("HelpBack")->text(), platform::fromCp1252(c.back));

        // Following a link, then back and forward again.
        QTextBrowser* browser = help->browser();
        browser->setSource(QUrl("measure.html"));
        EXPECT_EQ(help->windowTitle(), QString(c.title).replace("index", "measure"));
        help->findChild<QToolButton*>("HelpBack")->click();
        EXPECT_EQ(help->windowTitle(), c.title);
        auto* forward = help->findChild<QToolButton*>("HelpForward");
        EXPECT_TRUE(forward->isEnabled());
        forward->click();
        EXPECT_EQ(help->windowTitle(), QString(c.title).replace("index", "measure"));
        help->findChild<QToolButton*>("HelpContents")->click();
        EXPECT_EQ(help->windowTitle(), c.title);
        help->close();
    }
}

TEST_F(Desktop, WithAChmProgramTheHelpFileGoesToTheDesktop) {
    TestDesktop desktop;
    desktop.addChmProgram();
    UrlRecorder recorder({"file"});
    startIn(LanguageFrench);
    QTimer guard; // a message box instead would be a failure
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            ADD_FAILURE() << "a message box came up";
            box->close();
        }
    });
    guard.start(1000);
    program->MainForm->Image4Click();
    ASSERT_EQ(recorder.urls.size(), 1);
    EXPECT_EQ(recorder.urls[0].toLocalFile(), dir.path("hilfe_e.chm"));
    EXPECT_EQ(program->MainForm->helpWindow(), nullptr);
}

TEST_F(Desktop, MissingHelpPagesAreReportedNotIgnored) {
    TestDesktop desktop;
    startIn(LanguageGerman);
    QString message;
    onModal([&](QWidget* box) {
        message = static_cast<QMessageBox*>(box)->text();
        clickButton(box, "OK");
    });
    program->MainForm->Image4Click();
    EXPECT_TRUE(message.startsWith("Die Hilfeseiten wurden nicht gefunden in:"))
        << message.toStdString();
    EXPECT_TRUE(message.endsWith(QDir(dir.root()).filePath("help"))) << message.toStdString();
}

TEST_F(Desktop, WindowTitlesAreExactlyTheProgramsOwn) {
    startIn(LanguageGerman);
    TMainForm& form = *program->MainForm;
    EXPECT_EQ(form.windowTitle(), "DORVANEX II ZT 40  (USB)");
    EXPECT_EQ(program->Form3->windowTitle(), "Export");
    EXPECT_EQ(program->selectLanguage->windowTitle(), "Language/Sprache/Langue");
    EXPECT_EQ(program->Form5->windowTitle(), "Info");
    form.appendMeasurementRow("01.02.2026", "10:00:00", "C", "1.0");
    QString commentTitle;
    onModal([&](QWidget* dialog) {
        commentTitle = dialog->windowTitle();
        dialog->close();
    });
    form.ListView1DblClick();
    EXPECT_EQ(commentTitle, platform::fromCp1252("Kommentar \xE4ndern"));
    // The window system appends a display name to every title when one is set; the desktop
    // names the program through its entry zt40.desktop instead.
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QGuiApplication::applicationName());
    EXPECT_EQ(QGuiApplication::desktopFileName(), "zt40");
}

} // namespace

} // namespace zt40::test

