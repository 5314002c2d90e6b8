// Export and printing from the main window: the clipboard, the export dialog, the save dialog
// with a file name typed in, the spreadsheet message, and a real PDF printout.
#include "AppTestSupport.h"

#include "Cp1252.h"
#include "Languages.h"
#include "MeasurementListModel.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

using namespace zt40;
using namespace zt40::test;

namespace {

class ExportAndPrint : public ::testing::Test {
protected:
    void SetUp() override {
        useSimulator(false);
        program = startProgram();
    }
    TMainForm& form() { return *program->MainForm; }
    void addRows() {
        form().appendMeasurementRow("08.12.2026", "10:00:01", "C", "12.5");
        form().appendMeasurementRow("08.12.2026", "10:00:02", "LC", "7.0");
        form().appendMeasurementRow("08.12.2026", "10:00:03", "C D", "101.3");
    }
    QString clipboard() const { return QGuiApplication::clipboard()->text(); }

    ProgramDirectory dir;
    std::unique_ptr<Program> program;
};

// Picks an option of the export dialog (or none, -1) and confirms or cancels it.
void exportChoice(int option, bool ok = true, std::function<void()> whileOpen = {}) {
    onModal([=](QWidget* dialog) {
        EXPECT_EQ(dialog->objectName(), "Form3");
        for (auto* item : dialog->findChildren<QRadioButton*>()) {
            EXPECT_FALSE(item->isChecked()) << "preselected " << item->text().toStdString();
        }
        if (option >= 0) {
            dialog->findChild<QRadioButton*>(QString("RadioItem%1").arg(option))->click();
        }
        if (whileOpen) {
            whileOpen();
        }
        if (ok) {
            clickButton(dialog, "OK");
        } else {
            static_cast<QDialog*>(dialog)->reject();
        }
    });
}

// Types a file name into the save dialog and saves; reports what the dialog showed.
void saveAs(const QString& typed, QString* title = nullptr, QString* folder = nullptr) {
    onModal([=](QWidget* window) {
        auto* dialog = qobject_cast<QFileDialog*>(window);
        ASSERT_NE(dialog, nullptr);
        if (title) {
            *title = dialog->windowTitle();
        }
        if (folder) {
            *folder = dialog->directory().absolutePath();
        }
        EXPECT_EQ(dialog->nameFilters(), QStringList{"dat-Datei (*.dat)"});
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->clear();
        QTest::keyClicks(name, typed);
        static_cast<QDialog*>(dialog)->accept();
    });
}

const char* const EnglishHeader = "\tDate\tTime\tMode\tValue\tComment\r\n";

} // namespace

TEST_F(ExportAndPrint, TheClipboardHoldsTheTextAlsoWhenTheDialogIsCancelled) {
    QGuiApplication::clipboard()->setText("old");
    exportChoice(-1, false);
    form().exportBClick();
    EXPECT_EQ(clipboard(), EnglishHeader);

    // OK without a choice does nothing more either.
    addRows();
    exportChoice(-1, true);
    form().exportBClick();
    EXPECT_EQ(clipboard(), QString(EnglishHeader) + "1\t08.12.2026\t10:00:01\tC\t12.5\t\r\n"
                                                    "2\t08.12.2026\t10:00:02\tLC\t7.0\t\r\n"
                                                    "3\t08.12.2026\t10:00:03\tC D\t101.3\t\r\n");
}

TEST_F(ExportAndPrint, GermanTitlesAndNumbersAfterADeletedRow) {
    writeFile(dir.path("zt40.ini"), "[Config]\r\nLanguage=1\r\n");
    program.reset(); // one program at a time: a second one would find the journal locked
    program = startProgram();
    addRows();
    form().measurementList().removeRowAt(1);
    form().measurementList().setComment(1, "gl\xE4nzend");
    exportChoice(-1, false);
    form().exportBClick();
    EXPECT_EQ(clipboard(),
              QString::fromUtf8("\tDatum\tZeit\tModus\tWert\tKommentar\r\n"
                                "1\t08.12.2026\t10:00:01\tC\t12.5\t\r\n"
                                "2\t08.12.2026\t10:00:03\tC D\t101.3\tgl\u00e4nzend\r\n"));
    EXPECT_EQ(form().exportLines().size(), 3u);
    // Clear Data empties the export line list too.
    onModal(
        [](QWidget* box) { static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click(); });
    form().clearDClick();
    EXPECT_TRUE(form().exportLines().empty());
}

TEST_F(ExportAndPrint, ARowArrivingWhileTheDialogIsOpenIsNotInThatExport) {
    addRows();
    exportChoice(-1, false,
                 [this] { form().appendMeasurementRow("08.12.2026", "10:00:04", "C", "1.0"); });
    form().exportBClick();
    EXPECT_EQ(form().measurementList().count(), 4);
    EXPECT_FALSE(clipboard().contains("10:00:04"));
    EXPECT_TRUE(clipboard().startsWith(EnglishHeader));
}

TEST_F(ExportAndPrint, SavingWritesWindows1252WithDatAddedAndOverwrites) {
    addRows();
    form().measurementList().setComment(0, "gl\xE4nzend");
    QString title, folder;
    exportChoice(1);
    saveAs("messung", &title, &folder);
    form().exportBClick();
    EXPECT_EQ(title, "Save");
    EXPECT_EQ(QDir(folder), QDir(dir.root()));
    const std::string expected = std::string(EnglishHeader) +
                                 "1\t08.12.2026\t10:00:01\tC\t12.5\tgl\xE4nzend\r\n"
                                 "2\t08.12.2026\t10:00:02\tLC\t7.0\t\r\n"
                                 "3\t08.12.2026\t10:00:03\tC D\t101.3\t\r\n";
    EXPECT_EQ(readFile(dir.path("messung.dat")), expected);

    // Again into the same file: overwritten without a question, the last name offered.
    form().measurementList().removeRowAt(2);
    exportChoice(1);
    onModal([](QWidget* window) {
        auto* name = window->findChild<QLineEdit*>("fileNameEdit");
        EXPECT_EQ(name->text(), "messung.dat");
        static_cast<QDialog*>(window)->accept();
    });
    form().exportBClick();
    EXPECT_EQ(readFile(dir.path("messung.dat")),
              std::string(EnglishHeader) + "1\t08.12.2026\t10:00:01\tC\t12.5\tgl\xE4nzend\r\n"
                                           "2\t08.12.2026\t10:00:02\tLC\t7.0\t\r\n");
}

TEST_F(ExportAndPrint, CancellingTheSaveDialogWritesNothing) {
    addRows();
    exportChoice(1);
    onModal([](QWidget* window) { static_cast<QDialog*>(window)->reject(); });
    form().exportBClick();
    EXPECT_EQ(QDir(dir.root()).entryList({"*.dat"}, QDir::Files), QStringList{});
}

TEST_F(ExportAndPrint, AFileThatCannotBeCreatedIsReported) {
    addRows();
    const QString target = dir.path("gone/messung.dat");
    QString message;
    exportChoice(1);
    onModal([&](QWidget* window) {
        auto* name = window->findChild<QLineEdit*>("fileNameEdit");
        name->setText(target);
        onModal([&](QWidget* box) {
            message = static_cast<QMessageBox*>(box)->text();
            clickButton(box, "OK");
        });
        static_cast<QDialog*>(window)->accept();
    });
    form().exportB->click(); // through the program's error handler
    EXPECT_TRUE(message.startsWith("Datei \"" + QDir::toNativeSeparators(target) +
                                   "\" kann nicht erstellt werden. "))
        << message.toStdString();
    EXPECT_EQ(form().measurementList().count(), 3);
    EXPECT_TRUE(clipboard().contains("101.3"));
}

TEST_F(ExportAndPrint, NoSpreadsheetProgramIsToldInTheLanguage) {
    QTemporaryDir emptyPath;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", emptyPath.path().toLocal8Bit());
    QString message;
    exportChoice(0);
    onModal([&](QWidget* box) {
        message = static_cast<QMessageBox*>(box)->text();
        clickButton(box, "OK");
    });
    form().exportBClick();
    qputenv("PATH", path);
    EXPECT_EQ(message, platform::fromCp1252(exportTexts(0).spreadsheetMissing));
    EXPECT_EQ(clipboard(), EnglishHeader);
}

TEST_F(ExportAndPrint, PrintingToPdfStopsPollingAndResumesIt) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows' own file and print dialogs are not Qt widgets that the test can answer";
#endif
    addRows();
    form().Timer1->start();
    const QString pdf = dir.path("list.pdf");
    form().printer().setOutputFormat(QPrinter::PdfFormat);
    form().printer().setOutputFileName(pdf);
    bool pollingDuringDialog = true;
    exportChoice(2);
    onModal([&](QWidget* window) {
        EXPECT_NE(qobject_cast<QPrintDialog*>(window), nullptr);
        pollingDuringDialog = form().Timer1->isActive();
        static_cast<QDialog*>(window)->accept();
    });
    form().exportBClick();
    EXPECT_FALSE(pollingDuringDialog);
    EXPECT_TRUE(form().Timer1->isActive());
    EXPECT_EQ(form().printer().docName(), "ZT40 Printjob");
    const std::string bytes = readFile(pdf);
    ASSERT_GT(bytes.size(), 100u);
    EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
}

TEST_F(ExportAndPrint, APrintingErrorIsShownAndPollingResumes) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows' own file and print dialogs are not Qt widgets that the test can answer";
#endif
    addRows();
    form().Timer1->start();
    form().printer().setOutputFormat(QPrinter::PdfFormat);
    form().printer().setOutputFileName(dir.path("gone/list.pdf"));
    QString message;
    exportChoice(2);
    onModal([&](QWidget* window) {
        onModal([&](QWidget* box) {
            message = static_cast<QMessageBox*>(box)->text();
            clickButton(box, "OK");
        });
        static_cast<QDialog*>(window)->accept();
    });
    form().exportB->click();
    EXPECT_FALSE(message.isEmpty());
    EXPECT_TRUE(form().Timer1->isActive());
    EXPECT_FALSE(QFile::exists(dir.path("gone/list.pdf")));
}

TEST_F(ExportAndPrint, CancellingThePrintDialogResumesPollingEvenWhenItWasOff) {
    form().Timer1->stop();
    onModal([](QWidget* window) { static_cast<QDialog*>(window)->reject(); });
    form().printMeasurementList();
    EXPECT_TRUE(form().Timer1->isActive());
}

TEST_F(ExportAndPrint, TheHelpIconOpensTheHelpFileOfTheLanguage) {
#ifdef _WIN32
    GTEST_SKIP() << "on Windows links and help files go to ShellExecute, not to the Qt URL handler the test records";
#endif
    TestDesktop desktop;
    desktop.addChmProgram();
    UrlRecorder catcher({"file"});
    form().Image4Click();
    ActiveLanguage = 1;
    form().Image4Click();
    ActiveLanguage = 2;
    form().Image4Click();
    ASSERT_EQ(catcher.urls.size(), 3);
    EXPECT_EQ(catcher.urls[0].toLocalFile(), dir.path("hilfe_e.chm"));
    EXPECT_EQ(catcher.urls[1].toLocalFile(), dir.path("hilfe.chm"));
    EXPECT_EQ(catcher.urls[2].toLocalFile(), dir.path("hilfe_e.chm"));
}

TEST_F(ExportAndPrint, ClosingAsksOnlyWhileReadingsAreNotExported) {
    // Nothing to lose: closes at once.
    EXPECT_TRUE(form().close());
    form().show();

    addRows();
    QString asked;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    const auto answer = [&](QMessageBox::StandardButton button) {
        asked.clear();
        onModal([&, button](QWidget* window) {
            auto* box = qobject_cast<QMessageBox*>(window);
            ASSERT_NE(box, nullptr);
            asked = box->windowTitle() + "|" + box->text();
            icon = box->icon();
            box->button(button)->click();
        });
    };
    answer(QMessageBox::No);
    EXPECT_FALSE(form().close());
    EXPECT_EQ(asked, "Question|The list holds readings that have not been exported since they "
                     "were taken or changed. Close the program anyway and discard them?");
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_TRUE(form().isVisible());

    exportChoice(1);
    saveAs("messung");
    form().exportBClick();
    ASSERT_TRUE(QFile::exists(dir.path("messung.dat")));
    EXPECT_TRUE(form().close()); // exported: no question
    form().show();

    // A changed comment is unsaved again; Yes closes and the journal goes with it.
    form().measurementList().setComment(1, "neu");
    answer(QMessageBox::Yes);
    EXPECT_TRUE(form().close());
    EXPECT_FALSE(asked.isEmpty());
    ASSERT_TRUE(QFile::exists(dir.path("zt40.journal")));
    program.reset();
    EXPECT_FALSE(QFile::exists(dir.path("zt40.journal")));
}

TEST_F(ExportAndPrint, OnlyAFileOrAPrintoutCountsAsExported) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows' own file and print dialogs are not Qt widgets that the test can answer";
#endif
    // The spreadsheet gets the rows only through the clipboard: until the user saves them
    // there, closing must still ask.
    TestDesktop desktop;
    QTemporaryDir bin;
    {
        QFile starter(bin.filePath("libreoffice"));
        ASSERT_TRUE(starter.open(QIODevice::WriteOnly));
        starter.write("#!/bin/sh\nexit 0\n");
        starter.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    ScopedEnvironment path;
    path.set("PATH", bin.path());
    form().printer().setOutputFormat(QPrinter::PdfFormat);
    form().printer().setOutputFileName(dir.path("list.pdf"));
    const struct {
        const char* how;
        std::function<void()> choose;
        bool asks;
    } exports[] = {
        {"spreadsheet", [] { exportChoice(0); }, true},
        {"file",
         [] {
             exportChoice(1);
             saveAs("messung");
         },
         false},
        {"printer",
         [] {
             exportChoice(2);
             onModal([](QWidget* window) { static_cast<QDialog*>(window)->accept(); });
         },
         false},
        {"cancelled", [] { exportChoice(0, false); }, true},
    };
    for (const auto& e : exports) {
        form().appendMeasurementRow("08.12.2026", "10:00:01", "C", "12.5");
        e.choose();
        form().exportBClick();
        QString asked;
        if (e.asks) {
            onModal([&](QWidget* box) {
                asked = box->objectName();
                static_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
            });
        }
        EXPECT_EQ(form().close(), !e.asks) << e.how;
        EXPECT_EQ(asked, e.asks ? "CloseQuestionBox" : "") << e.how;
        form().show();
    }
}

TEST_F(ExportAndPrint, NoReadingArrivesBehindTheClosingQuestion) {
    addRows();
    form().setTimer1Enabled(true);
    form().setTimer2Enabled(true);
    bool timerDuringQuestion = true;
    onModal([&](QWidget* box) {
        timerDuringQuestion = form().Timer1->isActive() || form().Timer2->isActive();
        static_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(form().close());
    EXPECT_FALSE(timerDuringQuestion);
    // No goes on where it was.
    EXPECT_TRUE(form().Timer1->isActive());
    EXPECT_TRUE(form().Timer2->isActive());
}
