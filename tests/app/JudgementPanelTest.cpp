// Judging readings with the whole program: the Limits button and window, the verdicts in the
// list, the statistics line, the report read back from its PDF, and the exports unchanged.
#include "AppTestSupport.h"

#include "Cp1252.h"
#include "Judgement.h"
#include "JudgementPanel.h"
#include "LimitsWindow.h"
#include "MeasurementListModel.h"
#include "RecordingPlotCanvas.h"
#include "RegionalSettings.h"
#include "SystemInfo.h"
#include "TrendWindow.h"
#include "Unit3.h"
#include "VerdictDelegate.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>

#include <gtest/gtest.h>

using namespace zt40;
using namespace zt40::test;

namespace {

constexpr auto none = std::nullopt;

// Readings around the limits 12 to 14: on both limits, above, below, and one that is no
// number; in samples of three.
const char* const Values[] = {"13,5", "14,5", "15,0", "OL", "11,0", "14,0", "12,0"};
const JudgementSettings Judged{{LimitKind::Bounds, 12.0, 14.0, none, none}, 3};

class Judging : public ::testing::Test {
protected:
    void SetUp() override {
        program = startWithTicksByHand();
        // The test decides the decimal separator of the values it appends.
        separator = platform::decimalSeparator();
    }
    TMainForm& form() { return *program->MainForm; }
    JudgementPanel& panel() { return form().judgementPanel(); }
    QString value(const char* text) const {
        return platform::fromCp1252(text).replace(',', QChar(separator));
    }
    void appendValues() {
        for (const char* v : Values) {
            form().appendMeasurementRow("09.12.2026", "17:00:01", "L",
                                        platform::toCp1252(value(v)));
        }
    }
    // The whole statistics line, also when it is shown shortened.
    QString line() {
        QCoreApplication::processEvents();
        const QLabel* label = form().statisticsLine;
        return label->toolTip().isEmpty() ? label->text() : label->toolTip();
    }
    QString pdfText(const QString& pdf) {
        QProcess process;
        process.start("pdftotext", {"-raw", pdf, "-"});
        EXPECT_TRUE(process.waitForFinished(20000)) << "pdftotext (poppler-utils) missing?";
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    ProgramDirectory dir;
    std::unique_ptr<Program> program;
    char separator = '.';
};

} // namespace

TEST_F(Judging, TheLimitsWindowSetsTheLimitsKeepsThemAndTheListShowsTheVerdicts) {
    appendValues();
    QCoreApplication::processEvents();
    const QString before = line();
    EXPECT_FALSE(before.contains("Within limits")) << before.toStdString();

    // Typed through the window opened by its button, a refusal first, then corrected.
    const QString lower = value("12,0");
    QString refusal;
    onModal([&](QWidget* modal) {
        auto* window = qobject_cast<LimitsWindow*>(modal);
        ASSERT_NE(window, nullptr);
        window->boundsChoice->click();
        QTest::keyClicks(window->lowerEdit, "14");
        QTest::keyClicks(window->upperEdit, "12");
        window->sampleSizeBox->selectAll();
        QTest::keyClicks(window->sampleSizeBox, "3");
        onModal([&, window](QWidget* box) {
            refusal = static_cast<QMessageBox*>(box)->text();
            clickButton(box, "OK");
            QTimer::singleShot(0, window, [window, lower] {
                window->lowerEdit->selectAll();
                QTest::keyClicks(window->lowerEdit, lower);
                window->upperEdit->selectAll();
                QTest::keyClicks(window->upperEdit, "14");
                window->buttons->button(QDialogButtonBox::Ok)->click();
            });
        });
        window->buttons->button(QDialogButtonBox::Ok)->click();
    });
    panel().limitsButton->click();
    EXPECT_EQ(refusal, "The lower limit must be smaller than the upper limit.");
    EXPECT_EQ(panel().settings(), Judged);
    EXPECT_TRUE(readFile(dir.path("zt40.ini"))
                    .find("[Limits]\r\nKind=Bounds\r\nLower=12\r\nUpper=14\r\nNominal=\r\n"
                          "Tolerance=\r\n[Samples]\r\nReadingsPerSample=3\r\n") !=
                std::string::npos)
        << readFile(dir.path("zt40.ini"));

    // Verdicts: in red with an arrow, and said in the tooltip; nothing for a value on a limit
    // or one that is no number.
    const VerdictDelegate& delegate = *panel().delegate;
    const MeasurementListModel& list = form().measurementList();
    const QString above = "Above the upper limit of 14";
    const QString below = "Below the lower limit of " + value("12");
    const QString tips[] = {"", above, above, "", below, "", ""};
    for (int row = 0; row < list.count(); ++row) {
        EXPECT_EQ(delegate.toolTip(list.index(row, ColValue)), tips[row]) << row;
        EXPECT_EQ(delegate.toolTip(list.index(row, ColComment)), "") << row;
    }
    // Painted: the cell of row 3 carries the colour of a value outside, row 2's does not.
    form().ListView1->scrollToTop();
    const QImage shown = form().ListView1->viewport()->grab().toImage();
    const auto redIn = [&](int row) {
        const QRect cell = form().ListView1->visualRect(list.index(row, ColValue));
        int red = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            for (int x = cell.left(); x <= cell.right(); ++x) {
                red += shown.pixelColor(x, y) == VerdictDelegate::outsideColour() ? 1 : 0;
            }
        }
        return red;
    };
    for (const int row : {1, 2, 4}) {
        EXPECT_GT(redIn(row), 20) << row;
    }
    for (const int row : {0, 3, 5, 6}) {
        EXPECT_EQ(redIn(row), 0) << row;
    }

    // The line: 3 of 6 numeric readings inside, Cp and Cpk of all six, the current sample
    // (row 7 alone, sample 3) with its mean and verdict.
    const QString l = line();
    EXPECT_TRUE(l.contains("    Within limits: 3 of 6    Cp: ")) << l.toStdString();
    EXPECT_TRUE(l.endsWith("    Sample 3 (1/3): " + value("12,00") + " within limits"))
        << l.toStdString();
    EXPECT_TRUE(l.startsWith(before)) << l.toStdString();

    // Deleting row 1 regroups: row 7 joins sample 2 (rows 4 to 6), whose mean is inside.
    onModal(
        [](QWidget* box) { static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click(); });
    form().ListView1->setCurrentIndex(list.index(0, 0));
    form().clearLClick();
    EXPECT_TRUE(line().endsWith("    Sample 2 (3/3): " + value("12,33") + " within limits"))
        << line().toStdString();

    // Kept for the next start (an empty list asks nothing about the journal).
    form().measurementList().clearRows();
    program.reset();
    program = startWithTicksByHand();
    EXPECT_EQ(panel().settings(), Judged);
    EXPECT_EQ(panel().judgement().limits(), (Limits{12.0, 14.0}));
}

TEST_F(Judging, TheButtonsSpeakTheActiveLanguage) {
    EXPECT_EQ(panel().limitsButton->toolTip(), "Limits");
    EXPECT_EQ(panel().reportButton->text(), "Report...");
    chooseLanguage(form(), 2);
    EXPECT_EQ(panel().limitsButton->toolTip(), "Limites");
    EXPECT_EQ(panel().reportButton->text(), "Rapport...");
    chooseLanguage(form(), 1);
    EXPECT_EQ(panel().limitsButton->toolTip(), "Grenzwerte");
    EXPECT_EQ(panel().reportButton->text(), "Bericht...");
}

TEST_F(Judging, TheExportsAreTheSameBytesWithLimitsAndSamples) {
    appendValues();
    ASSERT_TRUE(measure(form()));
    form().measurementList().setComment(1, "Probe \xE4");
    const auto exportText = [&] {
        onModal([](QWidget* dialog) { clickButton(dialog, "Cancel"); });
        form().exportBClick();
        return std::pair{QGuiApplication::clipboard()->text(), form().exportLines().text()};
    };
    const auto plain = exportText();
    panel().setSettings(Judged);
    QCoreApplication::processEvents();
    EXPECT_EQ(exportText(), plain);
    panel().setSettings({{LimitKind::Nominal, none, none, 13.0, 0.5}, 2});
    EXPECT_EQ(exportText(), plain);
}

TEST_F(Judging, TheReportShowsTheFiguresAndVerdictsOfTheStatisticsLine) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows' own file and print dialogs are not Qt widgets that the test can answer";
#endif
    const QString user = platform::fromCp1252(platform::loginName());
    EXPECT_FALSE(user.isEmpty());
    appendValues();
    form().measurementList().setComment(0, "Probe \xE4");
    panel().setSettings(Judged);
    const struct {
        int language;
        const char* title;
        const char* samplesHeading;
        const char* above;
        const char* below;
        const char* inside;
        const char* page;
    } languages[] = {
        {0, "Measurement report", "Samples", "too high", "too low", "within limits", "Page 1 of "},
        {1, "Messbericht", "Proben", "zu hoch", "zu niedrig", "in Ordnung", "Seite 1 von "},
        {2, "Rapport de mesure", "\u00C9chantillons", "trop \u00E9lev\u00E9", "trop faible",
         "conforme", "Page 1 sur "},
    };
    for (const auto& l : languages) {
        SCOPED_TRACE(l.title);
        chooseLanguage(form(), l.language);
        const QString pdf = dir.path(QString("report-%1.pdf").arg(l.language));
        if (l.language == 0) {
            // Once through the button and its save dialog, as the user does it.
            onModal([&](QWidget* dialog) {
                EXPECT_EQ(dialog, panel().reportDialog);
                dialog->findChild<QLineEdit*>("fileNameEdit")->setText(pdf);
                static_cast<QDialog*>(dialog)->accept();
            });
            EXPECT_TRUE(form().measurementList().hasUnexported());
            panel().reportButton->click();
            // A saved report is an export: closing asks nothing.
            EXPECT_FALSE(form().measurementList().hasUnexported());
        } else {
            EXPECT_TRUE(panel().saveReport(pdf).ok());
        }
        const QString report = pdfText(pdf);
        EXPECT_TRUE(report.contains(QString::fromUtf8(l.title))) << report.toStdString();
        EXPECT_TRUE(report.contains(user)) << report.toStdString();
        EXPECT_TRUE(report.contains(QString::fromUtf8(l.page))) << report.toStdString();
        EXPECT_TRUE(report.contains(platform::fromCp1252("Probe \xE4")));
        // Every figure of the statistics line, as the line shows it.
        for (const QString& item : line().split("    ")) {
            EXPECT_TRUE(report.contains(item)) << item.toStdString();
        }
        // Each sample with its mean and verdict: 1 (13,5 14,5 15,0) too high, 2 (OL 11,0 14,0)
        // within, 3 (12,0) within.
        const QString sampleRows[] = {
            QString("1 +1\u20133 +3 +%1 .* %2").arg(value("14,33"), QString::fromUtf8(l.above)),
            QString("2 +4\u20136 +2 +%1 .* %2").arg(value("12,50"), QString::fromUtf8(l.inside)),
            QString("3 +7 +1 +%1 .* %2").arg(value("12,00"), QString::fromUtf8(l.inside))};
        for (const QString& row : sampleRows) {
            EXPECT_TRUE(report.contains(QRegularExpression("\\n *" + row + " *\\n")))
                << row.toStdString();
        }
        // The rows with their verdicts; none for the reading that is no number.
        EXPECT_TRUE(report.contains(
            QRegularExpression(QString("\\n *3 +09.12.2026 +17:00:01 +L +%1 +%2 *\\n")
                                   .arg(value("15,0"), QString::fromUtf8(l.above)))));
        EXPECT_TRUE(report.contains(
            QRegularExpression(QString("\\n *5 +09.12.2026 +17:00:01 +L +%1 +%2 *\\n")
                                   .arg(value("11,0"), QString::fromUtf8(l.below)))));
        EXPECT_TRUE(
            report.contains(QRegularExpression("\\n *4 +09.12.2026 +17:00:01 +L +OL *\\n")));
    }
}

TEST_F(Judging, AReportThatCannotBeSavedIsToldAndTheReadingsStayUnexported) {
    appendValues();
    const QString pdf = dir.path("no such folder/report.pdf");
    QString told;
    onModal([&](QWidget* dialog) {
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(pdf);
        onModal([&](QWidget* box) {
            EXPECT_EQ(box->objectName(), "ReportErrorBox");
            told = static_cast<QMessageBox*>(box)->text();
            clickButton(box, "OK");
        });
        static_cast<QDialog*>(dialog)->accept();
    });
    panel().reportButton->click();
    EXPECT_TRUE(told.startsWith(
        QString("The report could not be saved as \"%1\": ").arg(QDir::toNativeSeparators(pdf))))
        << told.toStdString();
    EXPECT_FALSE(QFileInfo::exists(pdf));
    EXPECT_TRUE(form().measurementList().hasUnexported());
}

TEST_F(Judging, TheTrendShowsTheLimitsTheReadingsOutsideAndTheSampleMeans) {
    // Rows a minute and a half apart, their times as the list keeps them (and as the journal
    // brings them back): the texts of the regional settings.
    const QLocale locale = QLocale::system();
    const QDateTime start(QDate(2026, 12, 9), QTime(9, 0, 0));
    const auto at = [&](int row) { return start.addSecs(90 * row); };
    for (int row = 0; row < 7; ++row) {
        form().appendMeasurementRow(platform::dateText(locale, at(row)),
                                    platform::timeText(locale, at(row)), "L",
                                    platform::toCp1252(value(Values[row])));
    }
    form().trendButton->click();
    TrendWindow& trend = *form().trendWindow();
    QCoreApplication::processEvents();
    // What the plot draws, with the texts of its legend and axes.
    const auto drawn = [&] {
        RecordingPlotCanvas canvas;
        drawTrendPlot(canvas, trend.plot(), trend.plotView->rect(), 1);
        return canvas.texts();
    };
    // Without limits the plot holds no limit lines and no marks, nor do they crowd its legend.
    EXPECT_FALSE(trend.plot().lower.has_value());
    EXPECT_TRUE(trend.plot().outside.isEmpty());
    EXPECT_FALSE(drawn().contains("Lower limit"));
    EXPECT_FALSE(drawn().contains("Outside the limits"));
    EXPECT_FALSE(trend.sampleMeansChoice->isEnabled());

    panel().setSettings(Judged);
    QCoreApplication::processEvents();
    EXPECT_TRUE(drawn().contains("Lower limit"));
    EXPECT_TRUE(drawn().contains("Outside the limits"));
    EXPECT_EQ(trend.plot().lower, 12);
    EXPECT_EQ(trend.plot().upper, 14);
    EXPECT_EQ(trend.plot().firstX, 1);
    EXPECT_EQ(trend.plot().lastX, 7);
    EXPECT_EQ(trend.plot().outside, (QList<QPointF>{{2, 14.5}, {3, 15}, {5, 11}}));

    // Pointing at a mark tells which limit the reading passed.
    trend.plotView->repaint();
    const auto tipAt = [&](const QPointF& reading) {
        const QPointF point = trend.plotView->frame().map(reading);
        QMouseEvent move(QEvent::MouseMove, point, trend.plotView->mapToGlobal(point), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(trend.plotView, &move);
        return QToolTip::text();
    };
    EXPECT_EQ(tipAt({3, 15}), "15: Above the upper limit of 14");
    EXPECT_EQ(tipAt({5, 11}), "11: Below the lower limit of 12");

    // The means of the samples, at the middle of each.
    ASSERT_TRUE(trend.sampleMeansChoice->isEnabled());
    trend.sampleMeansChoice->click();
    QCoreApplication::processEvents();
    const QList<QPointF> means = trend.plot().sampleMeans;
    ASSERT_EQ(means.size(), 3);
    EXPECT_EQ(means[0].x(), 2);
    EXPECT_NEAR(means[0].y(), 43.0 / 3, 1e-12);
    EXPECT_EQ(means[1], QPointF(5, 12.5));
    EXPECT_EQ(means[2], QPointF(7, 12));

    // Against the time of day: the readings at the times of their rows, the sample means at
    // the time of each sample's last reading, the axis labelled with times of day.
    QTest::keyClick(trend.axisChoice, Qt::Key_Down);
    QCoreApplication::processEvents();
    EXPECT_EQ(trend.axis(), TrendWindow::Axis::Time);
    const auto ms = [&](int row) { return static_cast<double>(at(row).toMSecsSinceEpoch()); };
    EXPECT_EQ(
        trend.plot().readings,
        (QList<QPointF>{
            {ms(0), 13.5}, {ms(1), 14.5}, {ms(2), 15}, {ms(4), 11}, {ms(5), 14}, {ms(6), 12}}));
    EXPECT_EQ(trend.plot().outside, (QList<QPointF>{{ms(1), 14.5}, {ms(2), 15}, {ms(4), 11}}));
    EXPECT_EQ(trend.plot().sampleMeans.at(1), QPointF(ms(5), 12.5));
    EXPECT_EQ(trend.plot().firstX, ms(0));
    EXPECT_EQ(trend.plot().lastX, ms(6));
    const QStringList timeTexts = drawn();
    EXPECT_TRUE(timeTexts.contains("Time of day"));
    EXPECT_TRUE(timeTexts.contains("09:00:00"));
    EXPECT_TRUE(timeTexts.contains("09:08:00"));

    // Back to reading numbers.
    QTest::keyClick(trend.axisChoice, Qt::Key_Up);
    QCoreApplication::processEvents();
    EXPECT_EQ(trend.axis(), TrendWindow::Axis::Reading);
    EXPECT_TRUE(drawn().contains("Reading"));
    EXPECT_EQ(trend.plot().readings.at(0), QPointF(1, 13.5));
}
