// The main window with the whole program behind it: start-up, layout, the simulated
// instrument producing rows, connection texts and reconnection.
#include "AppTestSupport.h"

#include "Application.h"

#include "DriverStandIn.h"
#include "Languages.h"
#include "MeasurementListModel.h"
#include "RegionalSettings.h"
#include "SimulatedInstrument.h"
#include "StandInCallLog.h"

#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

using namespace zt40;
using namespace zt40::test;

namespace {

class MainWindow : public ::testing::Test {
protected:
    ProgramDirectory dir;
};

QString status(const TMainForm& form) {
    return form.StatusBar->currentMessage();
}

} // namespace

TEST_F(MainWindow, LayoutAsDesigned) {
    useSimulator(false);
    auto program = startProgram();
    TMainForm& form = *program->MainForm;

    EXPECT_EQ(form.size(), QSize(708, 539));
    EXPECT_EQ(form.minimumSize(), form.maximumSize()); // no resizing
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);

    const struct {
        const char* name;
        QRect geometry;
    } controls[] = {
        {"Image1", {0, 0, 709, 65}},        {"langFlag", {8, 120, 32, 32}},
        {"langButton", {48, 120, 75, 33}},  {"Image4", {600, 96, 32, 32}},
        {"Image7", {640, 97, 32, 32}},      {"Label8", {96, 208, 113, 37}},
        {"messen", {272, 160, 65, 65}},     {"licht", {352, 160, 65, 65}},
        {"Image2", {656, 112, 32, 16}},     {"Image3", {656, 136, 32, 16}},
        {"ListView1", {56, 256, 601, 190}}, {"clearD", {80, 464, 97, 25}},
        {"clearL", {304, 464, 97, 25}},     {"exportB", {536, 464, 97, 25}},
        {"StatusBar", {0, 520, 708, 19}},
    };
    for (const auto& control : controls) {
        auto* widget = form.findChild<QWidget*>(control.name);
        ASSERT_NE(widget, nullptr) << control.name;
        EXPECT_EQ(widget->geometry(), control.geometry) << control.name;
    }
    const struct {
        const char* name;
        QPoint position;
    } labels[] = {{"Label25", {176, 80}}, {"Label9", {376, 72}},    {"Label13", {136, 168}},
                  {"Label17", {40, 208}}, {"Label18", {56, 208}},   {"Label19", {72, 208}},
                  {"Label2", {496, 160}}, {"SerialNr", {584, 160}}, {"Label12", {496, 184}},
                  {"Label7", {584, 184}}};
    for (const auto& label : labels) {
        auto* widget = form.findChild<QLabel*>(label.name);
        ASSERT_NE(widget, nullptr) << label.name;
        EXPECT_EQ(widget->pos(), label.position) << label.name;
    }
    EXPECT_FALSE(form.Image2->isVisible());
    EXPECT_FALSE(form.Image3->isVisible());
    EXPECT_EQ(form.Label25->text(), "DORVANEX II   ZT 40");
    EXPECT_EQ(form.Label25->palette().color(QPalette::WindowText), QColor(65, 120, 184));
    EXPECT_EQ(form.Label9->palette().color(QPalette::WindowText), QColor(65, 120, 184));
    EXPECT_EQ(form.Label8->text(), "?");
    EXPECT_EQ(form.SerialNr->text(), "?");
    EXPECT_EQ(form.Label7->text(), "?");

    const int widths[] = {80, 80, 50, 80, 307};
    for (int column = 0; column < 5; ++column) {
        EXPECT_EQ(form.ListView1->columnWidth(column), widths[column]) << column;
    }
    EXPECT_EQ(form.ListView1->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(form.ListView1->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(form.ListView1->editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(MainWindow, CaptionAndProgramDirectory) {
    useSimulator(false);
    auto program = startProgram();
    // Two blanks before the parenthesis: the design caption ends with one.
    EXPECT_EQ(program->MainForm->windowTitle(), "DORVANEX II ZT 40  (USB)");
    EXPECT_EQ(program->MainForm->programDirectory(), QDir::currentPath() + "/");
    // The desktop shows "MIRELANTA ZT 40" from the program's desktop entry.
    EXPECT_EQ(QGuiApplication::desktopFileName(), "zt40");
}

TEST_F(MainWindow, WithoutInstrumentItWaitsAndFindsItLaterWithoutRestart) {
    useSimulator(false);
    auto program = startProgram();
    TMainForm& form = *program->MainForm;
    EXPECT_EQ(status(form), "Couldn't open port! Please restart application to retry!");
    EXPECT_FALSE(form.Timer1->isActive());
    EXPECT_TRUE(form.Timer2->isActive());
    EXPECT_EQ(form.Timer2->interval(), 5000);

    // Still missing at the next reconnect tick: the text is shown again.
    form.StatusBar->clearMessage();
    form.Timer2Timer();
    EXPECT_EQ(status(form), "Couldn't open port! Please restart application to retry!");

    useSimulator(true);
    form.Timer2Timer();
    EXPECT_TRUE(form.Timer1->isActive());
    EXPECT_EQ(form.Timer1->interval(), 50);
    EXPECT_FALSE(form.Timer2->isActive());
    form.Timer1->stop();
    tickUntilRunning(form);
    EXPECT_EQ(status(form), "");
    EXPECT_EQ(form.SerialNr->text(), "Z T 4 0 A 0 7 3 1 1 ");
    ASSERT_TRUE(measure(form));
    EXPECT_EQ(form.measurementList().count(), 1);
}

TEST_F(MainWindow, WithInstrumentPollingStartsAt50ms) {
    useSimulator(true);
    auto program = startProgram();
    TMainForm& form = *program->MainForm;
    EXPECT_TRUE(form.Timer1->isActive());
    EXPECT_EQ(form.Timer1->interval(), 50);
    EXPECT_FALSE(form.Timer2->isActive());
    EXPECT_EQ(status(form), "");
    // The real timer reads serial number and firmware on its own.
    for (int waited = 0; waited < 3000 && form.Label7->text() == "?"; waited += 20) {
        QTest::qWait(20);
    }
    EXPECT_NE(form.Label7->text(), "?");
    EXPECT_EQ(form.Timer1->interval(), 400);
    EXPECT_EQ(form.SerialNr->text(), "Z T 4 0 A 0 7 3 1 1 ");
}

TEST_F(MainWindow, ReadingsBecomeSelectedVisibleRows) {
    auto program = startWithTicksByHand();
    TMainForm& form = *program->MainForm;
    auto simulator = driver::environmentSimulator();
    ASSERT_NE(simulator, nullptr);

    const std::string today = platform::currentDateText();
    const char sep = platform::decimalSeparator();
    ASSERT_TRUE(measure(form));
    const MeasurementListModel& list = form.measurementList();
    EXPECT_EQ(list.text(0, ColDate), today);
    EXPECT_FALSE(list.text(0, ColTime).empty());
    // The simulator marks every fourth reading of the run with D: " C " or " CD" shown, the
    // row's mode with its blanks removed.
    const bool d = form.Label19->text() == "D";
    EXPECT_EQ(list.text(0, ColMode), d ? "CD" : "C");
    EXPECT_EQ(list.text(0, ColComment), "");
    EXPECT_EQ(form.Label18->text(), "C");
    EXPECT_EQ(form.Label17->text(), " ");

    // A reading of our choosing, taken from the instrument by the running cycle.
    simulator->holdReading(simulator::encodeReading(12.3, 0x03));
    for (int i = 0; i < 10 && list.count() < 2; ++i) {
        form.Timer1Timer();
    }
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.text(1, ColMode), "LC");
    // The instrument's value text with the user's separator and without its blanks.
    EXPECT_EQ(list.text(1, ColValue), std::string("12") + sep + "3");

    // Many rows: the newest is selected, focused and fully in view, even after the user
    // picked another one.
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(measure(form));
    }
    form.ListView1->setCurrentIndex(list.index(0, 0));
    ASSERT_TRUE(measure(form));
    const QModelIndex last = list.index(list.count() - 1, 0);
    EXPECT_EQ(form.ListView1->currentIndex(), last);
    const auto selected = form.ListView1->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.front().row(), list.count() - 1);
    const QRect shown = form.ListView1->visualRect(last);
    EXPECT_TRUE(form.ListView1->viewport()->rect().contains(shown)) << shown.y();
}

TEST_F(MainWindow, TheWholeValueFitsItsDisplay) {
    auto program = startWithTicksByHand();
    TMainForm& form = *program->MainForm;
    auto simulator = driver::environmentSimulator();
    ASSERT_NE(simulator, nullptr);
    for (double value : {3.3, 83.3, 133.6, 399.9}) {
        const int before = form.measurementList().count();
        simulator->holdReading(simulator::encodeReading(value, 0x01));
        for (int i = 0; i < 10 && form.measurementList().count() == before; ++i) {
            form.Timer1Timer();
        }
        ASSERT_EQ(form.measurementList().count(), before + 1) << value;
        const QString shown = form.Label8->text().trimmed() + ' ';
        EXPECT_TRUE(shown.contains(QString::number(static_cast<int>(value)).front())) << value;
        EXPECT_LE(QFontMetrics(form.Label8->font()).horizontalAdvance(shown), form.Label8->width())
            << shown.toStdString();
    }
    EXPECT_EQ(form.Label8->geometry(), QRect(96, 208, 113, 37));
}

TEST_F(MainWindow, TheLightButtonChoosesTheMeasureCommand) {
    test::setCallLogEnabled(true);
    auto program = startWithTicksByHand();
    TMainForm& form = *program->MainForm;
    const QImage off = form.licht->icon().pixmap(32, 16).toImage();
    const auto lastCommand = [] {
        const auto entries = test::callLog();
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
            if (it->kind == driver::DeviceCall::Kind::Write && !it->bytes.empty()) {
                return it->bytes[0];
            }
        }
        return std::uint8_t{0};
    };
    form.messenClick();
    form.Timer1Timer();
    EXPECT_EQ(lastCommand(), 0xBB);
    form.licht->click();
    EXPECT_TRUE(form.pollCycle().lightOption());
    EXPECT_EQ(form.licht->icon().pixmap(32, 16).toImage(), form.Image2->pixmap().toImage());
    EXPECT_NE(form.licht->icon().pixmap(32, 16).toImage(), off);
    form.messen->click();
    form.Timer1Timer();
    EXPECT_EQ(lastCommand(), 0xDD);
    form.licht->click();
    EXPECT_EQ(form.licht->icon().pixmap(32, 16).toImage(), form.Image3->pixmap().toImage());
    test::setCallLogEnabled(false);
}

TEST_F(MainWindow, LostConnectionHandsOverToTheReconnectTimer) {
    auto program = startWithTicksByHand();
    TMainForm& form = *program->MainForm;
    auto simulator = driver::environmentSimulator();
    ASSERT_NE(simulator, nullptr);
    simulator->unplug();
    form.Timer1->start();
    form.Timer1Timer();
    form.Timer1Timer();
    EXPECT_EQ(status(form), "Connection lost");
    EXPECT_FALSE(form.Timer1->isActive());
    EXPECT_TRUE(form.Timer2->isActive());
    simulator->plugIn();
    form.Timer2Timer();
    EXPECT_TRUE(form.Timer1->isActive());
    EXPECT_FALSE(form.Timer2->isActive());
}

TEST_F(MainWindow, AnErrorInAHandlerIsShownAndTheProgramGoesOn) {
    useSimulator(false);
    auto program = startProgram();
    QString shown;
    onModal([&](QWidget* box) {
        shown = static_cast<QMessageBox*>(box)->text();
        clickButton(box, "OK");
    });
    const bool completed = runHandler([] { throw std::runtime_error("Printer on fire"); });
    EXPECT_FALSE(completed);
    EXPECT_EQ(shown, "Printer on fire");
    EXPECT_TRUE(program->MainForm->isVisible());
}

TEST_F(MainWindow, ClosingClosesTheLinkAndCanBeRepeated) {
    useSimulator(true);
    test::setCallLogEnabled(true);
    {
        auto program = startProgram();
        test::clearCallLog();
        program->MainForm->FormDestroy();
        EXPECT_FALSE(program->MainForm->Timer1->isActive());
        const auto entries = test::callLog();
        EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const auto& e) {
            return e.kind == driver::DeviceCall::Kind::Close;
        }));
    } // the destructor runs the handler once more: harmless
    EXPECT_EQ(driver::counters().filesOpen, 0u);
    test::setCallLogEnabled(false);
}

TEST_F(MainWindow, TheAboutIconShowsTheAboutDialogModally) {
    useSimulator(false);
    auto program = startProgram();
    QWidget* shown = nullptr;
    QString title;
    onModal([&](QWidget* dialog) {
        shown = dialog;
        title = dialog->windowTitle();
        clickButton(dialog, "OK");
    });
    QTest::mouseClick(program->MainForm->Image7, Qt::LeftButton);
    EXPECT_EQ(shown, program->Form5.get());
    EXPECT_EQ(title, "Info");
    EXPECT_FALSE(program->Form5->isVisible());
}
