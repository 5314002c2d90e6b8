// Languages and the settings file with the whole program: start-up language, the language
// dialog driven for real, the file it writes, and the flag picture.
#include "AppTestSupport.h"

#include "Cp1252.h"
#include "Languages.h"
#include "MeasurementListModel.h"
#include "Unit2.h"
#include "Unit4.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace zt40::test {

namespace {

class LanguageSettings : public ::testing::Test {
protected:
    void SetUp() override { useSimulator(false); }
    QString ini() const { return dir.path("zt40.ini"); }
    ProgramDirectory dir;
};

QString text(const char* cp1252) {
    return platform::fromCp1252(cp1252);
}

} // namespace

TEST_F(LanguageSettings, WithoutSettingsFileItStartsInEnglish) {
    auto program = startProgram();
    TMainForm& form = *program->MainForm;
    EXPECT_EQ(ActiveLanguage, 0);
    EXPECT_EQ(form.messen->text(), "Measure");
    EXPECT_EQ(form.licht->text(), "Light");
    EXPECT_EQ(form.Label13->text(), "Data");
    EXPECT_EQ(form.Label2->text(), "Serial No.:");
    EXPECT_EQ(form.Label12->text(), "Firmware :");
    EXPECT_EQ(form.clearD->text(), "Clear Data");
    EXPECT_EQ(form.clearL->text(), "Clear Line");
    EXPECT_EQ(form.exportB->text(), "Export");
    EXPECT_EQ(form.langButton->text(), "Language");
    EXPECT_EQ(form.langFlag->pixmap().toImage().pixelColor(16, 16), QColor(Qt::red)); // CTRUK
    EXPECT_FALSE(QFile::exists(ini()));
}

TEST_F(LanguageSettings, GermanFromTheFileAndTheDialogOpensOnGerman) {
    writeFile(ini(), "[Config]\r\nLanguage=1\r\n");
    auto program = startProgram();
    TMainForm& form = *program->MainForm;
    EXPECT_EQ(form.messen->text(), "Messen");
    EXPECT_EQ(form.clearD->text(), text("Daten l\xF6schen"));
    EXPECT_EQ(form.langButton->text(), "Sprache");
    EXPECT_EQ(form.StatusBar->currentMessage(), text("Kann Port nicht \xF6"
                                                     "ffnen! Bitte Anwendung erneut starten!"));
    const auto& list = form.measurementList();
    EXPECT_EQ(list.headerData(0, Qt::Horizontal).toString(), "Datum");
    EXPECT_EQ(list.headerData(4, Qt::Horizontal).toString(), "Kommentar");
    EXPECT_EQ(form.langFlag->pixmap().toImage().pixelColor(16, 16), QColor(Qt::yellow));

    bool germanChecked = false;
    onModal([&](QWidget* dialog) {
        germanChecked = dialog->findChild<QRadioButton*>("RadioItem1")->isChecked();
        EXPECT_EQ(dialog->windowTitle(), "Language/Sprache/Langue");
        clickButton(dialog, "OK");
    });
    form.langButtonClick();
    EXPECT_TRUE(germanChecked);
}

TEST_F(LanguageSettings, ChoosingFrenchRetextsEverythingAndIsKeptForTheNextStart) {
    {
        auto program = startProgram();
        TMainForm& form = *program->MainForm;
        chooseLanguage(form, 2);
        EXPECT_EQ(readFile(ini()), "[Config]\r\nLanguage=2\r\n");
        EXPECT_EQ(form.messen->text(), "Mesurer");
        EXPECT_EQ(form.licht->text(), text("Lumi\xE8re"));
        EXPECT_EQ(form.Label12->text(), "No. de version :");
        EXPECT_EQ(form.langButton->text(), "Langue");
        EXPECT_EQ(form.measurementList().headerData(1, Qt::Horizontal).toString(), "Heure");
        EXPECT_EQ(form.langFlag->pixmap().toImage().pixelColor(16, 16), QColor(Qt::blue));
        // A status text already on display keeps its language until it is replaced.
        EXPECT_EQ(form.StatusBar->currentMessage(),
                  "Couldn't open port! Please restart application to retry!");
        form.Timer2Timer();
        EXPECT_EQ(form.StatusBar->currentMessage(),
                  "N'ouvre pas le port. Recomencer application s.v.p.");

        // The comment dialog takes the new texts when it next opens.
        form.appendMeasurementRow("01.02.2026", "10:00:00", "C", "1.0");
        onModal([](QWidget* dialog) {
            EXPECT_EQ(dialog->windowTitle(), "Changer le commentaire");
            EXPECT_EQ(dialog->findChild<QLabel*>("Label1")->text(), "Commentaire");
            EXPECT_EQ(dialog->findChild<QPushButton*>("Button2")->text(), "Quitter");
            clickButton(dialog, "Quitter");
        });
        form.ListView1DblClick();
    }
    // The first start ended without closing its window: its reading is offered back.
    onModal([](QWidget* box) {
        EXPECT_EQ(box->objectName(), "JournalRestoreBox");
        static_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
    });
    auto again = startProgram();
    EXPECT_EQ(ActiveLanguage, 2);
    EXPECT_EQ(again->MainForm->messen->text(), "Mesurer");
}

TEST_F(LanguageSettings, TheCloseBoxKeepsTheLanguageButWritesAndReapplies) {
    writeFile(ini(), "[Config]\r\nLanguage=1\r\n");
    auto program = startProgram();
    TMainForm& form = *program->MainForm;
    form.messen->setText("changed");
    onModal([](QWidget* dialog) {
        dialog->findChild<QRadioButton*>("RadioItem2")->click();
        dialog->close();
    });
    form.langButtonClick();
    EXPECT_EQ(ActiveLanguage, 1);
    EXPECT_EQ(form.messen->text(), "Messen");
    EXPECT_EQ(readFile(ini()), "[Config]\r\nLanguage=1\r\n");
}

TEST_F(LanguageSettings, OtherContentOfTheFileIsKeptAndCaseDoesNotMatter) {
    const std::string before = "; ZT 40\n[Window]\nLeft=10\n\n[CONFIG]\nlanguage = 1\nKeep=me\n";
    writeFile(ini(), before);
    auto program = startProgram();
    EXPECT_EQ(program->MainForm->messen->text(), "Messen");
    chooseLanguage(*program->MainForm, 0);
    EXPECT_EQ(readFile(ini()), "; ZT 40\n[Window]\nLeft=10\n\n[CONFIG]\nLanguage=0\nKeep=me\n");
}

TEST_F(LanguageSettings, GarbageAndUnknownNumbersAreTakenAsEnglish) {
    for (const char* content : {"[Config]\r\nLanguage=Deutsch\r\n", "[Config]\r\nLanguage=3\r\n",
                                "[Config]\r\nLanguage=-1\r\n", "[Other]\r\nLanguage=1\r\n"}) {
        writeFile(ini(), content);
        auto program = startProgram();
        EXPECT_EQ(ActiveLanguage, 0) << content;
        EXPECT_EQ(program->MainForm->messen->text(), "Measure") << content;
        EXPECT_EQ(program->MainForm->windowTitle(), "DORVANEX II ZT 40  (USB)");
    }
}

TEST_F(LanguageSettings, AMissingFlagIsReportedAndStartUpGoesOn) {
    QFile::remove(dir.path("CTRUK.ICO"));
    QString message;
    onModal([&](QWidget* box) {
        message = static_cast<QMessageBox*>(box)->text();
        clickButton(box, "OK");
    });
    auto program = startProgram();
    TMainForm& form = *program->MainForm;
    EXPECT_TRUE(message.contains("CTRUK.ICO")) << message.toStdString();
    EXPECT_EQ(form.windowTitle(), "DORVANEX II ZT 40  (USB)");
    EXPECT_TRUE(form.Timer2->isActive());
    EXPECT_EQ(form.langButton->text(), "Language");
    EXPECT_EQ(form.messen->text(), "Measure");
    // What follows the flag is skipped: the banner keeps its first colour, the button its
    // caption; the texts before it are in the new language, and polling goes on.
    const QColor banner(65, 120, 184);
    EXPECT_NE(form.Label25->palette().color(QPalette::WindowText), banner);
    QFile::remove(dir.path("CTRGERM.ICO"));
    message = chooseLanguageAndReadBox(form, 1);
    EXPECT_TRUE(message.contains("CTRGERM.ICO")) << message.toStdString();
    EXPECT_EQ(form.messen->text(), "Messen");
    EXPECT_EQ(form.langButton->text(), "Language");
    EXPECT_NE(form.Label25->palette().color(QPalette::WindowText), banner);
    EXPECT_NE(form.Label9->palette().color(QPalette::WindowText), banner);
    EXPECT_TRUE(form.Timer2->isActive());
}

TEST_F(LanguageSettings, FlagsComeFromTheProgramDirectoryWhereverTheCurrentOneMoved) {
    auto program = startProgram();
    QTemporaryDir elsewhere;
    QDir::setCurrent(elsewhere.path());
    chooseLanguage(*program->MainForm, 1);
    EXPECT_EQ(program->MainForm->langButton->text(), "Sprache");
    EXPECT_EQ(program->MainForm->langFlag->pixmap().toImage().pixelColor(16, 16),
              QColor(Qt::yellow));
    // The settings file stays in the program directory too.
    EXPECT_EQ(readFile(ini()), "[Config]\r\nLanguage=1\r\n");
    EXPECT_FALSE(QFile::exists(QDir(elsewhere.path()).filePath("zt40.ini")));
}

TEST_F(LanguageSettings, ASettingsFileThatCannotBeWrittenIsReportedAndTextsStay) {
    auto program = startProgram();
    TMainForm& form = *program->MainForm;
    QDir().mkdir(ini()); // a folder in the way: the file cannot be replaced
    const QString message = chooseLanguageAndReadBox(form, 1);
    EXPECT_TRUE(message.contains("zt40.ini")) << message.toStdString();
    EXPECT_EQ(ActiveLanguage, 1);
    EXPECT_EQ(form.messen->text(), "Measure");
}

} // namespace zt40::test
