// No reading lost: the program killed with SIGKILL and started again gives back its list;
// the restore question, the journal's lock, and a journal that cannot be written.
#include "AppTestSupport.h"

#include "Cp1252.h"
#include "ExportText.h"
#include "MeasurementJournal.h"
#include "MeasurementListModel.h"
#include "RegionalSettings.h"

#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <string>
#include <vector>

#ifdef __linux__
#include "WithoutReadOverride.h"
#endif
#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace zt40::test {

namespace {

const ColumnTexts Titles{"Date", "Time", "Mode", "Value", "Comment"};

std::string listText(const MeasurementListModel& model) {
    ExportLineList lines;
    buildExportLines(lines, model, Titles);
    return lines.text();
}

JournalContents journalIn(const ProgramDirectory& dir) {
    return readJournal(readFile(dir.path("zt40.journal")));
}

void selectRow(TMainForm& form, int row) {
    form.ListView1->selectionModel()->setCurrentIndex(form.measurementList().index(row, 0),
                                                      QItemSelectionModel::ClearAndSelect |
                                                          QItemSelectionModel::Rows);
}

// Answers the next message box with one of its buttons; gives its name and text.
void answer(QMessageBox::StandardButton button, QString* name = nullptr, QString* text = nullptr) {
    onModal([=](QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        ASSERT_NE(box, nullptr) << window->objectName().toStdString();
        if (name) {
            *name = box->objectName();
        }
        if (text) {
            *text = box->text();
        }
        box->button(button)->click();
    });
}

// Answers the next boxes in turn; writes down each one's name and text.
void answerInTurn(std::vector<QMessageBox::StandardButton> buttons, QStringList* shown) {
    if (buttons.empty()) {
        return;
    }
    onModal([buttons, shown](QWidget* window) mutable {
        auto* box = qobject_cast<QMessageBox*>(window);
        ASSERT_NE(box, nullptr) << window->objectName().toStdString();
        *shown << box->objectName() + ": " + box->text();
        const QMessageBox::StandardButton button = buttons.front();
        buttons.erase(buttons.begin());
        answerInTurn(buttons, shown);
        box->button(button)->click();
    });
}

void killAndWait(QProcess& process) {
    process.kill(); // SIGKILL, or TerminateProcess on Windows: no chance to clean up

    EXPECT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
}

class Journal : public ::testing::Test {
protected:
    ProgramDirectory dir;
};

} // namespace

// The first half of the kill test, in a process of its own: the program measures, a comment
// is edited and a row deleted through the window, the list is written to "expected.txt",
// and then it waits to be killed.
int runProgramToBeKilled(const QString& folder) {
    QDir::setCurrent(folder);
    auto program = startWithTicksByHand();
    TMainForm& form = *program->MainForm;
    for (int i = 0; i < 4; ++i) {
        if (!measure(form, i == 1)) {
            return 2;
        }
    }
    selectRow(form, 1);
    onModal([](QWidget* dialog) {
        dialog->findChild<QLineEdit*>("Edit1")->setText(QString::fromUtf8("  Glanz \\ \xC3\xA4 "));
        clickButton(dialog, "OK");
    });
    form.ListView1DblClick();
    selectRow(form, 2);
    answer(QMessageBox::Yes);
    form.clearLClick();
    writeFile(folder + "/expected.txt", listText(form.measurementList()));
    writeFile(folder + "/ready", "");
    for (;;) {
        QTest::qWait(1000);
    }
}

TEST_F(Journal, EditedAndDeletedRowsSurviveAKill) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ZT40_TEST_PROGRAM_TO_BE_KILLED", dir.root());
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(dir.path("ready")); }, 60000));
    killAndWait(child);
    const std::string expected = readFile(dir.path("expected.txt"));
    ASSERT_EQ(std::count(expected.begin(), expected.end(), '\n'), 4); // header and three rows
    EXPECT_NE(expected.find("\t  Glanz \\ \xE4 \r\n"), std::string::npos);

    useSimulator(true);
    QString name, question;
    answer(QMessageBox::Yes, &name, &question);
    auto program = startWithTicksByHand();
    TMainForm& form = *program->MainForm;
    EXPECT_EQ(name, "JournalRestoreBox");
    const MeasurementListModel& list = form.measurementList();
    EXPECT_EQ(listText(list), expected);
    EXPECT_EQ(question, QString("The program did not end properly last time: 3 readings (the "
                                "first of %1 %2) were not saved. Restore them?")
                            .arg(platform::fromCp1252(list.text(0, ColDate)),
                                 platform::fromCp1252(list.text(0, ColTime))));

    // This run's readings follow the restored ones, in the same journal.
    ASSERT_TRUE(measure(form));
    const JournalContents journal = journalIn(dir);
    EXPECT_EQ(journal.status, JournalStatus::Complete);
    ASSERT_EQ(journal.rows.size(), 4u);
    EXPECT_EQ(journal.rows[3][ColValue], list.text(3, ColValue));
}

TEST_F(Journal, TheRealProgramKilledLosesNoReading) {
    QProcess zt40;
    zt40.setWorkingDirectory(dir.root());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ZT40_SIMULATOR", "1"); // a reading every 3 s
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    zt40.setProcessEnvironment(environment);
    zt40.start(ZT40_PROGRAM_BINARY, {});
    ASSERT_TRUE(zt40.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return journalIn(dir).rows.size() >= 2; }, 30000));
    const std::string today = platform::currentDateText();
    killAndWait(zt40);
    const JournalContents before = journalIn(dir);
    EXPECT_EQ(before.status, JournalStatus::Complete);

    useSimulator(false);
    answer(QMessageBox::Yes);
    auto program = startProgram();
    const MeasurementListModel& list = program->MainForm->measurementList();
    ASSERT_EQ(list.count(), static_cast<int>(before.rows.size()));
    for (int row = 0; row < list.count(); ++row) {
        for (int column = 0; column < ColumnCount; ++column) {
            EXPECT_EQ(list.text(row, column), before.rows[row][column]) << row << column;
        }
        EXPECT_EQ(list.text(row, ColDate), today);
        EXPECT_TRUE(list.text(row, ColMode) == "C" || list.text(row, ColMode) == "C D");
        EXPECT_FALSE(list.text(row, ColValue).empty());
    }
}

TEST_F(Journal, ASecondProgramSaysItKeepsNoJournal) {
    useSimulator(false);
    auto first = startProgram();
    first->MainForm->appendMeasurementRow("08.12.2026", "10:00:01", "C", "1,0");
    QString name, text;
    answer(QMessageBox::Ok, &name, &text);
    auto second = startProgram();
    EXPECT_EQ(name, "JournalLockedBox");
    EXPECT_EQ(text, "Another ZT 40 program is already running and keeps the journal. This "
                    "program keeps none: its readings are not protected against a crash.");
    second->MainForm->appendMeasurementRow("08.12.2026", "10:00:02", "C", "2,0");
    second.reset(); // its end leaves the first program's journal alone
    EXPECT_EQ(journalIn(dir).rows.size(), 1u);
}

TEST_F(Journal, AJournalThatCannotBeWrittenIsReportedOnceWithTheSystemsReason) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has neither a device that is always full nor a file size limit";
#else
    // A full disk: the journal on a device that is always full, or a file size limit of
    // nothing, which keeps even the lock file's few bytes from being written.
    for (const bool lockFile : {false, true}) {
        SCOPED_TRACE(lockFile);
        ProgramDirectory folder;
        useSimulator(true);
        QString name, text;
        answer(QMessageBox::Ok, &name, &text);
        rlimit saved{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit limit = saved;
        if (lockFile) {
            limit.rlim_cur = 0;
        } else {
            ASSERT_TRUE(QFile::link("/dev/full", folder.path("zt40.journal")));
        }
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
        auto program = startWithTicksByHand();
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        EXPECT_EQ(name, "JournalErrorBox");
        EXPECT_TRUE(
            text.startsWith(QString("The journal \"%1\" cannot be written. %2\n")
                                .arg(QDir::toNativeSeparators(folder.path("zt40.journal")),
                                     lockFile ? "The lock file cannot be made: File too large."
                                              : "No space left on device")))
            << text.toStdString();
        EXPECT_TRUE(measure(*program->MainForm));
        EXPECT_TRUE(measure(*program->MainForm));
        QTest::qWait(20);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
#endif
}

TEST_F(Journal, ALockThatCannotBeCheckedIsOfferedForTakingOver) {
#ifndef __linux__
    GTEST_SKIP() << "only Linux lets a test take a file's read permission from its owner";
#else
    // Every kind of lock and answer is a journal session case; here the question as the
    // window asks it, for a lock that nobody may read, taken over.
    writeFile(dir.path("zt40.journal"),
              journalHeader() + journalRecord('A', {"08.12.2026", "10:00:01", "C", "12,5", ""}));
    writeFile(dir.path("zt40.journal.lock"), "");
    ASSERT_TRUE(QFile::setPermissions(dir.path("zt40.journal.lock"), {}));
    WithoutReadOverride asUser; // also when the tests run as root
    useSimulator(false);
    QStringList shown;
    answerInTurn({QMessageBox::Yes, QMessageBox::Yes}, &shown);
    auto program = startProgram();
    EXPECT_EQ(program->MainForm->measurementList().count(), 1);
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0],
              QString("JournalLockTakeOverBox: The journal is locked by the file \"%1\", but "
                      "the lock cannot be checked: the file cannot be read. If no other ZT 40 "
                      "program uses this folder, the lock can be taken over. Take it over? With "
                      "No, this program keeps no journal.")
                  .arg(QDir::toNativeSeparators(dir.path("zt40.journal.lock"))));
    EXPECT_TRUE(shown[1].startsWith("JournalRestoreBox: ")) << shown[1].toStdString();
#endif
}

// An old journal that cannot be taken back whole, in each language: the boxes, the list, the
// copy kept aside, and journaling going on after the good records.
TEST_F(Journal, ADamagedJournalIsKeptAsideAndToldWithItsPlace) {
    const std::string first = journalRecord('A', {"08.12.2026", "10:00:01", "C", "12,5", ""});
    const std::string second = journalRecord('A', {"08.12.2026", "10:00:04", "C", "13,0", "x"});
    const std::string garbled = "A\tgarbled\t00000000\r\n";
    const std::string header = journalHeader();
    using Box = QMessageBox;
    // clang-format off
    const struct {
        const char* language;
        std::string journal;
        std::vector<QMessageBox::StandardButton> answers;
        int rows;
        std::vector<const char*> shown; // %1 the copy kept aside
    } cases[] = {
        {"0", header + first + garbled + second, {Box::Yes, Box::Ok}, 1,
         {"JournalRestoreBox: The program did not end properly last time: 1 reading of 08.12.2026 "
          "10:00:01 was not saved. Restore it?",
          "JournalKeptAsideBox: The journal of the last run is damaged: only the readings before "
          "the damaged place were restored. The whole journal has been kept as \"%1\"."}},
        // Declined: what follows the damage was not even offered.
        {"1", header + first + second + garbled, {Box::No, Box::Ok}, 0,
         {"JournalRestoreBox: Das Programm wurde zuletzt nicht ordnungsgemäß beendet: 2 Messwerte "
          "(der erste vom 08.12.2026 um 10:00:01) wurden nicht gesichert. Wiederherstellen?",
          "JournalKeptAsideBox: Das Journal des letzten Programmlaufs ist beschädigt: Seine "
          "Messwerte wurden nicht wiederhergestellt. Das vollständige Journal wurde als „%1“ "
          "aufbewahrt."}},
        {"2", header + garbled + first, {Box::Ok}, 0,
         {"JournalKeptAsideBox: Le journal de la dernière exécution ne peut pas être lu : il est "
          "endommagé ou d'un type inconnu, et aucune mesure n'a pu en être restaurée. Il a été "
          "conservé sous « %1 »."}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        ProgramDirectory folder;
        writeFile(folder.path("zt40.ini"),
                  std::string("[Config]\r\nLanguage=") + c.language + "\r\n");
        writeFile(folder.path("zt40.journal"), c.journal);
        useSimulator(false);
        QStringList shown;
        answerInTurn(c.answers, &shown);
        auto program = startProgram();
        TMainForm& form = *program->MainForm;
        EXPECT_EQ(form.measurementList().count(), c.rows);
        const QStringList aside = QDir(folder.root()).entryList({"zt40-*.journal"});
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(readFile(folder.path(aside[0])), c.journal);
        QStringList expected;
        for (const char* text : c.shown) {
            expected << QString::fromUtf8(text).arg(
                QDir::toNativeSeparators(folder.path(aside[0])));
        }
        EXPECT_EQ(shown, expected);

        form.appendMeasurementRow("09.12.2026", "07:00:00", "C", "14,0");
        const JournalContents journal = journalIn(folder);
        EXPECT_EQ(journal.status, JournalStatus::Complete);
        ASSERT_EQ(journal.rows.size(), static_cast<std::size_t>(c.rows + 1));
        EXPECT_EQ(journal.rows.back()[ColValue], "14,0");
    }
}

} // namespace zt40::test
