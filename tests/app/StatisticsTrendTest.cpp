// The statistics line under the list and the trend window, with the whole program and the
// simulated instrument producing the rows.
#include "AppTestSupport.h"

#include "Cp1252.h"
#include "JudgementPanel.h"
#include "MeasurementListModel.h"
#include "MeasurementStatistics.h"
#include "RecordingPlotCanvas.h"
#include "RegionalSettings.h"
#include "StatisticsLine.h"
#include "TrendWindow.h"
#include "TestEnvironment.h"

#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace zt40;
using namespace zt40::test;

namespace {

class StatisticsAndTrend : public ::testing::Test {
protected:
    void SetUp() override { program = startWithTicksByHand(); }
    TMainForm& form() { return *program->MainForm; }
    // The line follows at the next turn of the event loop.
    QString line() {
        QCoreApplication::processEvents();
        return form().statisticsLine->text();
    }

    // The list's values as numbers, read here on their own.
    std::vector<double> values() {
        std::vector<double> out;
        const MeasurementListModel& list = form().measurementList();
        for (int row = 0; row < list.count(); ++row) {
            bool ok = false;
            const double v =
                platform::fromCp1252(list.text(row, ColValue)).replace(',', '.').toDouble(&ok);
            if (ok) {
                out.push_back(v);
            }
        }
        return out;
    }
    // A figure as the line must show it, with the user's decimal separator: the readings
    // carry one decimal, mean and deviation get two.
    static QString shown(double v, int decimals = 1) {
        return QString::number(v, 'f', decimals).replace('.', QChar(platform::decimalSeparator()));
    }
    static QString shownMore(double v) { return shown(v, 2); }

    ProgramDirectory dir;
    std::unique_ptr<Program> program;
};

const QString Dash = QString(QChar(0x2013));

// Mean and sample standard deviation, two passes.
std::pair<double, double> meanAndDeviation(const std::vector<double>& v) {
    double mean = 0;
    for (const double x : v) {
        mean += x / static_cast<double>(v.size());
    }
    double squares = 0;
    for (const double x : v) {
        squares += (x - mean) * (x - mean);
    }
    return {mean, std::sqrt(squares / static_cast<double>(v.size() - 1))};
}

} // namespace

TEST(StatisticsLine, ExtremesKeepTheReadingsDecimalsMeanAndDeviationGetOneMore) {
    const struct {
        std::vector<const char*> values;
        int language;
        char separator;
        const char* line; // UTF-8
    } cases[] = {
        {{"12,5", "14,25", "9"},
         0,
         ',',
         "n: 3    Mean: 11,917    Std. dev.: 2,673    Min: 9,00    Max: 14,25    Range: 5,25"},
        {{"0,1", "0.3"},
         0,
         '.',
         "n: 2    Mean: 0.20    Std. dev.: 0.14    Min: 0.1    Max: 0.3    Range: 0.2"},
        {{"7"},
         1,
         ',',
         "n: 1    Mittelwert: 7,0    Std.-Abw.: \u2013    Min: 7    Max: 7    Spannweite: 0"},
        {{"OL", "-3", "-5"},
         2,
         ',',
         "n : 2    Moyenne : -4,0    \u00c9cart type : 1,4    Min : -5    Max : -3    "
         "\u00c9tendue : 2    1 valeur non num\u00e9rique"},
    };
    for (const auto& c : cases) {
        MeasurementListModel list;
        const MeasurementStatistics statistics(list);
        for (const char* value : c.values) {
            list.appendRow("d", "t", "C", value, "");
        }
        EXPECT_EQ(platform::fromCp1252(statisticsLineText(statistics, c.language, c.separator)),
                  QString::fromUtf8(c.line));
    }
}

TEST_F(StatisticsAndTrend, TheStatisticsLineFollowsTheReadingsAndTheLanguage) {
    ZT40_SKIP_UNDER_WINE("Wine lays out text in substitute fonts, with other metrics than Windows' own");
    EXPECT_EQ(line(), "n: 0    Mean: " + Dash + "    Std. dev.: " + Dash + "    Min: " + Dash +
                          "    Max: " + Dash + "    Range: " + Dash);

    ASSERT_TRUE(measure(form()));
    const double first = values().at(0);
    EXPECT_EQ(line(), "n: 1    Mean: " + shownMore(first) + "    Std. dev.: " + Dash + "    Min: " +
                          shown(first) + "    Max: " + shown(first) + "    Range: " + shown(0));

    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(measure(form(), i % 2 == 0));
    }
    const std::vector<double> v = values();
    ASSERT_EQ(v.size(), 5u);
    const auto [mean, deviation] = meanAndDeviation(v);
    const auto [min, max] = std::minmax_element(v.begin(), v.end());
    EXPECT_EQ(line(), "n: 5    Mean: " + shownMore(mean) +
                          "    Std. dev.: " + shownMore(deviation) + "    Min: " + shown(*min) +
                          "    Max: " + shown(*max) + "    Range: " + shown(*max - *min));

    chooseLanguage(form(), 1);
    EXPECT_TRUE(line().startsWith("n: 5    Mittelwert: " + shownMore(mean) + "    Std.-Abw.: "))
        << line().toStdString();
    chooseLanguage(form(), 2);
    EXPECT_TRUE(line().startsWith("n : 5    Moyenne : " + shownMore(mean) +
                                  QString::fromUtf8("    Écart type : ")))
        << line().toStdString();
    EXPECT_TRUE(line().contains(QString::fromUtf8("    Étendue : ") + shown(*max - *min)));

    // Clear Line and Clear Data, answered Yes.
    const auto yes = [] {
        onModal([](QWidget* box) {
            static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
        });
    };
    yes();
    form().clearLClick();
    EXPECT_TRUE(line().startsWith("n : 4    ")) << line().toStdString();
    yes();
    form().clearDClick();
    EXPECT_TRUE(line().startsWith("n : 0    Moyenne : " + Dash)) << line().toStdString();
}

TEST_F(StatisticsAndTrend, ValuesThatAreNoNumberAreCountedApart) {
    ZT40_SKIP_UNDER_WINE("Wine lays out text in substitute fonts, with other metrics than Windows' own");
    form().appendMeasurementRow("d", "t", "C", "  13:.5 ");
    EXPECT_TRUE(line().startsWith("n: 0    Mean: " + Dash)) << line().toStdString();
    EXPECT_TRUE(line().endsWith("    1 non-numeric value")) << line().toStdString();
    form().appendMeasurementRow("d", "t", "C", "  OL");
    ASSERT_TRUE(measure(form()));
    EXPECT_TRUE(line().startsWith("n: 1    Mean: " + shownMore(values().back())))
        << line().toStdString();
    EXPECT_TRUE(line().endsWith("    2 non-numeric values")) << line().toStdString();
}

TEST_F(StatisticsAndTrend, TheTrendShowsEveryNumericReadingAndFollowsNewOnes) {
    EXPECT_EQ(form().trendButton->toolTip(), "Trend of the readings");
    EXPECT_EQ(form().trendWindow(), nullptr);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(measure(form()));
    }
    form().trendButton->click();
    TrendWindow* trend = form().trendWindow();
    ASSERT_NE(trend, nullptr);
    EXPECT_TRUE(trend->isVisible());
    EXPECT_EQ(trend->windowTitle(), "Trend of the readings");
    std::vector<double> v = values();
    EXPECT_EQ(trend->plot().readings, (QList<QPointF>{{1, v[0]}, {2, v[1]}, {3, v[2]}}));

    // Live: readings and a text that is no number (a gap at its reading number).
    ASSERT_TRUE(measure(form()));
    form().appendMeasurementRow("d", "t", "C", "  13:.5 ");
    ASSERT_TRUE(measure(form()));
    QCoreApplication::processEvents();
    v = values();
    const QList<QPointF>& readings = trend->plot().readings;
    ASSERT_EQ(readings.size(), 5);
    EXPECT_EQ(readings[3], QPointF(4, v[3]));
    EXPECT_EQ(readings[4], QPointF(6, v[4]));

    // Mean line and the band of one standard deviation, across all readings.
    const auto [mean, s] = meanAndDeviation(v);
    EXPECT_NEAR(trend->plot().mean.value(), mean, 1e-9);
    EXPECT_NEAR(trend->plot().deviation.value(), s, 1e-9);
    EXPECT_EQ(trend->plot().lastX, 6);

    // A deleted row: the readings after it move up one number.
    form().measurementList().removeRowAt(0);
    QCoreApplication::processEvents();
    ASSERT_EQ(readings.size(), 4);
    EXPECT_EQ(readings[0], QPointF(1, v[1]));
    EXPECT_EQ(readings[3], QPointF(5, v[4]));

    // Closed, it draws nothing; opened again, it shows what came meanwhile.
    trend->close();
    ASSERT_TRUE(measure(form()));
    QCoreApplication::processEvents();
    EXPECT_EQ(readings.size(), 4);
    form().trendButton->click();
    EXPECT_EQ(form().trendWindow(), trend);
    EXPECT_EQ(readings.size(), 5);

    // In German, then emptied by Clear Data.
    chooseLanguage(form(), 1);
    EXPECT_EQ(trend->windowTitle(), "Verlauf der Messwerte");
    EXPECT_EQ(form().trendButton->toolTip(), "Verlauf der Messwerte");
    trend->refresh();
    RecordingPlotCanvas canvas;
    drawTrendPlot(canvas, trend->plot(), trend->plotView->rect(), 1);
    EXPECT_TRUE(canvas.texts().contains("Messwerte")) << canvas.texts().join('|').toStdString();
    form().measurementList().clearRows();
    QCoreApplication::processEvents();
    EXPECT_TRUE(readings.isEmpty());
    EXPECT_FALSE(trend->plot().mean.has_value());
    EXPECT_FALSE(trend->plot().deviation.has_value());
}

TEST(TrendLegend, EveryEntryLiesInsideThePlotAtNarrowWidthsInEveryLanguage) {
    TrendPlotData data;
    data.readings = {{1, 13}, {2, 15}};
    data.mean = 14;
    data.deviation = 1.4;
    data.lower = 12;
    data.upper = 14;
    data.outside = {{2, 15}};
    data.sampleMeans = {{1.5, 14}};
    for (const int language : {0, 1, 2}) {
        data.texts = trendPlotTexts(language);
        const QStringList legend{data.texts.readings,   data.texts.mean,       data.texts.band,
                                 data.texts.lowerLimit, data.texts.upperLimit, data.texts.outside,
                                 data.texts.sampleMeans};
        for (const double width : {160.0, 240.0, 400.0, 760.0}) {
            SCOPED_TRACE(QString("language %1, %2 wide").arg(language).arg(width).toStdString());
            const QRectF area(0, 0, width, 300);
            RecordingPlotCanvas canvas;
            const TrendPlotFrame frame = drawTrendPlot(canvas, data, area, 1);
            for (const QString& entry : legend) {
                const PlotCall* drawn = canvas.text(entry);
                ASSERT_NE(drawn, nullptr) << entry.toStdString();
                EXPECT_TRUE(area.contains(drawn->box)) << entry.toStdString();
                EXPECT_GT(drawn->box.top(), frame.plotArea.bottom()) << entry.toStdString();
            }
        }
    }
}

TEST_F(StatisticsAndTrend, TheTrendIsSavedAsAPictureAndPrinted) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows' own file and print dialogs are not Qt widgets that the test can answer";
#endif
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(measure(form()));
    }
    form().trendButton->click();
    TrendWindow& trend = *form().trendWindow();

    const QString png = dir.path("trend.png");
    onModal([&](QWidget* window) {
        EXPECT_EQ(window, trend.saveDialog);
        window->findChild<QLineEdit*>("fileNameEdit")->setText(png);
        static_cast<QDialog*>(window)->accept();
    });
    trend.saveButton->click();
    const QImage picture(png);
    EXPECT_EQ(picture.size(), trend.plotView->size() * trend.plotView->devicePixelRatio());
    // The line of the readings is drawn in its own colour.
    bool lineDrawn = false;
    for (int y = 0; y < picture.height() && !lineDrawn; ++y) {
        for (int x = 0; x < picture.width() && !lineDrawn; ++x) {
            lineDrawn = picture.pixelColor(x, y) == TrendColours::readings;
        }
    }
    EXPECT_TRUE(lineDrawn);

    // A folder that is not there: told, nothing written.
    QString message;
    const QString gone = dir.path("gone/trend.png");
    onModal([&](QWidget* window) {
        window->findChild<QLineEdit*>("fileNameEdit")->setText(gone);
        onModal([&](QWidget* box) {
            message = static_cast<QMessageBox*>(box)->text();
            clickButton(box, "OK");
        });
        static_cast<QDialog*>(window)->accept();
    });
    trend.saveButton->click();
    EXPECT_TRUE(message.startsWith("The picture could not be saved as \"" + gone + "\": "))
        << message.toStdString();
    EXPECT_FALSE(QFile::exists(gone));

    // Printed to a PDF file through the print dialog, and to one that cannot be made.
    const QString pdf = dir.path("trend.pdf");
    trend.printer().setOutputFormat(QPrinter::PdfFormat);
    trend.printer().setOutputFileName(pdf);
    onModal([](QWidget* window) {
        EXPECT_NE(qobject_cast<QPrintDialog*>(window), nullptr);
        static_cast<QDialog*>(window)->accept();
    });
    trend.printButton->click();
    EXPECT_EQ(readFile(pdf).substr(0, 5), "%PDF-");
}

TEST_F(StatisticsAndTrend, APrintThatFailsIsTold) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows' own file and print dialogs are not Qt widgets that the test can answer";
#endif
    ASSERT_TRUE(measure(form()));
    form().trendButton->click();
    TrendWindow& trend = *form().trendWindow();
    trend.printer().setOutputFormat(QPrinter::PdfFormat);
    trend.printer().setOutputFileName(dir.path("gone/trend.pdf"));
    QString message;
    onModal([&](QWidget* window) {
        onModal([&](QWidget* box) {
            message = static_cast<QMessageBox*>(box)->text();
            clickButton(box, "OK");
        });
        static_cast<QDialog*>(window)->accept();
    });
    trend.printButton->click();
    EXPECT_EQ(message, "The trend could not be printed on \"" + dir.path("gone/trend.pdf") + "\".");
}

TEST_F(StatisticsAndTrend, TheLineAndTheButtonsBeyondTheLayoutTakeSpaceNoOtherControlUses) {
    ZT40_SKIP_UNDER_WINE("Wine lays out text in substitute fonts, with other metrics than Windows' own");
    EXPECT_EQ(form().size(), QSize(708, 539));
    const QWidget* added[] = {form().statisticsLine, form().trendButton,
                              form().judgementPanel().limitsButton,
                              form().judgementPanel().reportButton};
    for (const QWidget* mine : added) {
        EXPECT_TRUE(form().rect().contains(mine->geometry())) << mine->objectName().toStdString();
        for (const QWidget* widget : form().findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (widget->isVisible() && widget != mine) {
                EXPECT_FALSE(widget->geometry().intersects(mine->geometry()))
                    << mine->objectName().toStdString() << " overlaps "
                    << widget->objectName().toStdString();
            }
        }
    }
}

TEST_F(StatisticsAndTrend, ClosingTheMainWindowEndsTheProgramWithTheTrendOpen) {
    form().trendButton->click();
    ASSERT_TRUE(form().trendWindow()->isVisible());
    // The program's message loop ends by itself when the main window closes; 2 if it does not.
    QTimer::singleShot(0, &form(), [this] { form().close(); });
    QTimer::singleShot(3000, qApp, [] { QCoreApplication::exit(2); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
}

TEST_F(StatisticsAndTrend, AlongTrendDrawsTheLowestAndHighestOfEachSlice) {
    // A list of its own: the main window's journals every row, which takes its time.
    MeasurementListModel list;
    MeasurementStatistics statistics(list);
    TrendWindow trend(list, statistics, dir.root());
    for (int i = 0; i < 10000; ++i) {
        list.appendRow("d", "t", "C", std::to_string(i % 97) + ",5", "");
    }
    list.appendRow("d", "t", "C", "150,0", "");
    trend.show();
    EXPECT_EQ(trend.readingCount(), 10001);
    const QList<QPointF> drawn = trend.plot().readings;
    EXPECT_FALSE(trend.plot().markers);
    EXPECT_LE(drawn.size(), 4000);
    EXPECT_GE(drawn.size(), 2000);
    double low = drawn[0].y(), high = drawn[0].y();
    for (qsizetype k = 1; k < drawn.size(); ++k) {
        EXPECT_LT(drawn[k - 1].x(), drawn[k].x()) << k;
        low = std::min(low, drawn[k].y());
        high = std::max(high, drawn[k].y());
    }
    EXPECT_EQ(low, 0.5);
    EXPECT_EQ(high, 150.0);
    EXPECT_EQ(drawn.back(), QPointF(10001, 150.0));

    // Back to a short list: every reading again.
    list.clearRows();
    list.appendRow("d", "t", "C", "7,5", "");
    list.appendRow("d", "t", "C", "8,5", "");
    trend.refresh();
    EXPECT_EQ(trend.plot().readings, (QList<QPointF>{{1, 7.5}, {2, 8.5}}));
    EXPECT_TRUE(trend.plot().markers);
}
