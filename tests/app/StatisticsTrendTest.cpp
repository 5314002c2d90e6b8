// The statistics line under the list and the trend window, with the whole program and the
// simulated instrument producing the rows.
#include "AppTestSupport.h"

#include "Cp1252.h"
#include "MeasurementListModel.h"
#include "RegionalSettings.h"

#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>

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
            const double v = fromCp1252(list.text(row, ColValue)).replace(',', '.').toDouble(&ok);
            if (ok) {
                out.push_back(v);
            }
        }
        return out;
    }
    // A figure as the line must show it: two decimals for readings with one, the user's
    // decimal separator.
    static QString shown(double v) {
        return QString::number(v, 'f', 2).replace('.', QChar(platform::decimalSeparator()));
    }
    void chooseLanguage(int item) {
        onModal([item](QWidget* dialog) {
            dialog->findChild<QRadioButton*>(QString("RadioItem%1").arg(item))->click();
            clickButton(dialog, "OK");
        });
        form().langButtonClick();
    }

    ProgramDirectory dir;
    std::unique_ptr<Program> program;
};

const QString Dash = QString(QChar(0x2013));

} // namespace

TEST_F(StatisticsAndTrend, TheStatisticsLineFollowsTheReadingsAndTheLanguage) {
    EXPECT_EQ(line(), "n: 0    Mean: " + Dash + "    Std. dev.: " + Dash + "    Min: " + Dash +
                          "    Max: " + Dash + "    Range: " + Dash);

    ASSERT_TRUE(measure(form()));
    const double first = values().at(0);
    EXPECT_EQ(line(), "n: 1    Mean: " + shown(first) + "    Std. dev.: " + Dash + "    Min: " +
                          shown(first) + "    Max: " + shown(first) + "    Range: " + shown(0));

    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(measure(form(), i % 2 == 0));
    }
    const std::vector<double> v = values();
    ASSERT_EQ(v.size(), 5u);
    double mean = 0;
    for (const double x : v) {
        mean += x / 5;
    }
    double squares = 0;
    for (const double x : v) {
        squares += (x - mean) * (x - mean);
    }
    const auto [min, max] = std::minmax_element(v.begin(), v.end());
    EXPECT_EQ(line(), "n: 5    Mean: " + shown(mean) + "    Std. dev.: " +
                          shown(std::sqrt(squares / 4)) + "    Min: " + shown(*min) +
                          "    Max: " + shown(*max) + "    Range: " + shown(*max - *min));

    chooseLanguage(1);
    EXPECT_TRUE(line().startsWith("n: 5    Mittelwert: " + shown(mean) + "    Std.-Abw.: "))
        << line().toStdString();
    chooseLanguage(2);
    EXPECT_TRUE(line().startsWith("n : 5    Moyenne : " + shown(mean) +
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
    form().appendMeasurementRow("d", "t", "C", "  13:.5 ");
    EXPECT_TRUE(line().startsWith("n: 0    Mean: " + Dash)) << line().toStdString();
    EXPECT_TRUE(line().endsWith("    1 non-numeric value")) << line().toStdString();
    form().appendMeasurementRow("d", "t", "C", "  OL");
    ASSERT_TRUE(measure(form()));
    EXPECT_TRUE(line().startsWith("n: 1    Mean: " + shown(values().back())))
        << line().toStdString();
    EXPECT_TRUE(line().endsWith("    2 non-numeric values")) << line().toStdString();
}
