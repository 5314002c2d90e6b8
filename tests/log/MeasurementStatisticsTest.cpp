#include "MeasurementStatistics.h"

#include "MeasurementListModel.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>

namespace zt40::test {

namespace {

struct Statistics : ::testing::Test {
    MeasurementListModel list;
    MeasurementStatistics stats{list};

    void append(const std::string& value) { list.appendRow("d", "t", "C", value, ""); }
    // The numbers kept for the rows, "-" for a text that is no number.
    std::string shownValues() const {
        std::ostringstream out;
        for (const double v : stats.rowValues()) {
            out << (out.tellp() > 0 ? " " : "");
            if (std::isnan(v)) {
                out << "-";
            } else {
                out << v;
            }
        }
        return out.str();
    }
    void expectFigures(long long n, double mean, std::optional<double> deviation, double min,
                       double max, long long nonNumeric, int decimals) const {
        const RunningStatistics& v = stats.values();
        EXPECT_EQ(v.count(), n);
        EXPECT_EQ(stats.nonNumeric(), nonNumeric);
        EXPECT_EQ(stats.decimals(), decimals);
        if (n == 0) {
            EXPECT_FALSE(v.standardDeviation().has_value());
            return;
        }
        EXPECT_NEAR(v.mean(), mean, 1e-12);
        EXPECT_EQ(v.standardDeviation().has_value(), deviation.has_value());
        if (deviation) {
            EXPECT_NEAR(*v.standardDeviation(), *deviation, 1e-12);
        }
        EXPECT_EQ(v.minimum(), min);
        EXPECT_EQ(v.maximum(), max);
    }
};

} // namespace

TEST(ValueTexts, NumbersWithEitherSeparatorAndEverythingElseIsNone) {
    const struct {
        const char* text;
        double value;
        int decimals;
    } numbers[] = {
        {"84,2", 84.2, 1}, {"  12.50 ", 12.5, 2}, {"-3", -3, 0},        {"+0,5", 0.5, 1},
        {",5", 0.5, 1},    {"7.", 7, 0},          {"0339.9", 339.9, 1}, {"\t1,25\r\n", 1.25, 2},
    };
    for (const auto& n : numbers) {
        const auto parsed = parseValueText(n.text);
        ASSERT_TRUE(parsed.has_value()) << n.text;
        EXPECT_EQ(parsed->value, n.value) << n.text;
        EXPECT_EQ(parsed->decimals, n.decimals) << n.text;
    }
    const std::string tooLarge(400, '9');
    for (const std::string& text :
         std::vector<std::string>{"", "   ", "13:.5", "1 5.2", "1,2.3", "OL", "-", ",", "+.", "1e5",
                                  "--1", "0x10", "12,5%", "inf", "nan", "\xB2", tooLarge}) {
        EXPECT_FALSE(parseValueText(text).has_value()) << text;
    }
}

TEST(ValueTexts, FiguresAreShownWithTheSeparatorAndDecimalsAsked) {
    EXPECT_EQ(formatStatistic(13.5, 2, ','), "13,50");
    EXPECT_EQ(formatStatistic(1000, 0, ','), "1000");
    EXPECT_EQ(formatStatistic(-0.0001, 2, '.'), "0.00");
    EXPECT_EQ(formatStatistic(-1.5, 1, ','), "-1,5");
    EXPECT_EQ(formatStatistic(1e300, 1, '.').size(), 303u);
    EXPECT_EQ(formatStatistic(std::nan(""), 2, '.'), "");
    EXPECT_EQ(formatStatistic(HUGE_VAL, 2, '.'), "");
}

// The mean as a spreadsheet shows the exported list: ROUND(AVERAGE(...); d), half away from
// zero on the decimal value, where the binary mean would round the other way.
TEST(ValueTexts, TheMeanRoundsAsASpreadsheetDoes) {
    std::vector<std::string> twenty(19, "94,3");
    twenty.push_back("93,8"); // 1885,5 / 20 = 94,275 (binary: 94,27499...)
    const struct {
        std::vector<std::string> values;
        int decimals;
        const char* mean;
    } cases[] = {
        {twenty, 2, "94,28"},
        {{"0", "0", "0", "1"}, 1, "0,3"},   // 0,25: binary rounding to even gives 0,2
        {{"0", "0", "0", "-1"}, 1, "-0,3"}, // away from zero on both sides
        {{"-0,1", "0,1"}, 2, "0,00"},       // no minus before zero
        {{"1,25", "1,3"}, 3, "1,275"},      // decimals of the values differ
        {{"12", "13", "13"}, 0, "13"},
    };
    for (const auto& c : cases) {
        MeasurementListModel list;
        MeasurementStatistics statistics(list);
        for (const std::string& v : c.values) {
            list.appendRow("10.12.2026", "08:00:00", "C", v, "");
        }
        EXPECT_EQ(statistics.values().exactMeanText(c.decimals, ','), c.mean) << c.mean;
    }
    // A value added without its decimals leaves the mean to the binary figure.
    RunningStatistics plain;
    plain.add(1.5);
    EXPECT_FALSE(plain.exactMeanText(1, ',').has_value());
}

TEST_F(Statistics, EmptyOneRowNonNumericDeletionsAndClear) {
    stats.keepRowValues(); // for the trend
    QSignalSpy changed(&stats, &MeasurementStatistics::changed);
    expectFigures(0, 0, {}, 0, 0, 0, 0);

    append("12,5");
    expectFigures(1, 12.5, std::nullopt, 12.5, 12.5, 0, 1);

    append("OL");
    append("14.25");
    append("13:.5");
    append("9");
    // 12.5, 14.25, 9: mean 11.916666..., squared deviations sum to 14.291666...
    const double mean = 35.75 / 3;
    const double deviation = std::sqrt(((12.5 - mean) * (12.5 - mean) +
                                        (14.25 - mean) * (14.25 - mean) + (9 - mean) * (9 - mean)) /
                                       2);
    expectFigures(3, mean, deviation, 9, 14.25, 2, 2);
    EXPECT_EQ(changed.count(), 5);
    // Every row's number, for the trend.
    EXPECT_EQ(shownValues(), "12.5 - 14.25 - 9");

    // A comment edit leaves the figures alone.
    list.setComment(0, "probe");
    EXPECT_EQ(changed.count(), 5);

    // Deleting the only value with two decimals, then a non-number, then the minimum: the
    // readings after each move up one number.
    list.removeRowAt(2);
    expectFigures(2, 10.75, std::sqrt(2 * 1.75 * 1.75), 9, 12.5, 2, 1);
    EXPECT_EQ(shownValues(), "12.5 - - 9");
    list.removeRowAt(1);
    expectFigures(2, 10.75, std::sqrt(2 * 1.75 * 1.75), 9, 12.5, 1, 1);
    EXPECT_EQ(shownValues(), "12.5 - 9");
    list.removeRowAt(2);
    expectFigures(1, 12.5, std::nullopt, 12.5, 12.5, 1, 1);
    EXPECT_EQ(shownValues(), "12.5 -");

    list.clearRows();
    expectFigures(0, 0, {}, 0, 0, 0, 0);
    EXPECT_EQ(changed.count(), 9);
    EXPECT_EQ(shownValues(), "");

    append("2,0");
    append("2,0");
    expectFigures(2, 2, 0.0, 2, 2, 0, 1);
    EXPECT_EQ(shownValues(), "2 2");
}

TEST_F(Statistics, WatchingAListThatAlreadyHasRowsCountsThem) {
    append("1,5");
    append("--");
    append("2,5");
    MeasurementStatistics late(list);
    EXPECT_EQ(late.values().count(), 2);
    EXPECT_EQ(late.nonNumeric(), 1);
    EXPECT_DOUBLE_EQ(late.values().mean(), 2.0);
    // The numbers of the rows are kept only once asked for, then for every row.
    EXPECT_TRUE(late.rowValues().empty());
    late.keepRowValues();
    append("3");
    ASSERT_EQ(late.rowValues().size(), 4u);
    EXPECT_EQ(late.rowValues()[0], 1.5);
    EXPECT_TRUE(std::isnan(late.rowValues()[1]));
    EXPECT_EQ(late.rowValues()[3], 3.0);
    EXPECT_EQ(late.values().count(), 3);
}

// A million readings near 1000 with a spread of 0.001. The exact figures come from the
// integer micro-units the texts are made of; a two-pass computation agrees with them, the
// textbook sum of squares does not, and the running statistics do.
TEST_F(Statistics, AMillionNearlyEqualReadingsKeepTheirSpread) {
    constexpr std::int64_t n = 1000000;
    std::mt19937_64 random(2813);
    std::uniform_int_distribution<std::int64_t> micro(-500, 500);
    std::vector<std::int64_t> k(n);
    std::vector<double> x(n);
    std::int64_t sumK = 0, sumK2 = 0, minK = 1000, maxK = -1000;
    for (int i = 0; i < n; ++i) {
        k[i] = micro(random);
        const std::int64_t units = 1000000000 + k[i]; // micro-units
        char text[32];
        std::snprintf(text, sizeof text, "%lld%c%06lld", static_cast<long long>(units / 1000000),
                      i % 2 == 0 ? ',' : '.', static_cast<long long>(units % 1000000));
        append(text);
        x[i] = 1000.0 + static_cast<double>(k[i]) * 1e-6;
        sumK += k[i];
        sumK2 += k[i] * k[i];
        minK = std::min(minK, k[i]);
        maxK = std::max(maxK, k[i]);
    }
    const double exactMean = 1000.0 + static_cast<double>(sumK) / n * 1e-6;
    // Sample variance in micro-units squared, from exact integer sums.
    const double exactVarK =
        static_cast<double>(n * sumK2 - sumK * sumK) / (static_cast<double>(n) * (n - 1));
    const double exactDeviation = std::sqrt(exactVarK) * 1e-6;
    ASSERT_NEAR(exactDeviation, 0.001 / std::sqrt(12.0), 0.00001);

    double twoPassMean = 0;
    for (const double v : x) {
        twoPassMean += v;
    }
    twoPassMean /= n;
    double squares = 0;
    double naiveSum = 0, naiveSquares = 0;
    for (const double v : x) {
        squares += (v - twoPassMean) * (v - twoPassMean);
        naiveSum += v;
        naiveSquares += v * v;
    }
    const double twoPass = std::sqrt(squares / (n - 1));
    const double naiveVariance = (naiveSquares - naiveSum * naiveSum / n) / (n - 1);
    EXPECT_NEAR(twoPass / exactDeviation, 1.0, 1e-6);
    // The sum of squares loses the spread entirely (its variance may even come out negative).
    EXPECT_GT(std::abs(naiveVariance / (exactDeviation * exactDeviation) - 1.0), 0.1);

    const RunningStatistics& v = stats.values();
    ASSERT_EQ(v.count(), n);
    EXPECT_EQ(stats.nonNumeric(), 0);
    EXPECT_EQ(stats.decimals(), 6);
    EXPECT_NEAR(v.mean(), exactMean, 1e-9);
    ASSERT_TRUE(v.standardDeviation().has_value());
    EXPECT_NEAR(*v.standardDeviation() / exactDeviation, 1.0, 1e-6);
    EXPECT_NEAR(v.minimum(), 1000.0 + static_cast<double>(minK) * 1e-6, 1e-9);
    EXPECT_NEAR(v.maximum(), 1000.0 + static_cast<double>(maxK) * 1e-6, 1e-9);

    // Deleting a row recounts the million, still exactly.
    const std::int64_t removed = k[0];
    list.removeRowAt(0);
    const std::int64_t sumK1 = sumK - removed, sumK21 = sumK2 - removed * removed;
    const double varK1 = static_cast<double>((n - 1) * sumK21 - sumK1 * sumK1) /
                         (static_cast<double>(n - 1) * (n - 2));
    EXPECT_EQ(v.count(), n - 1);
    EXPECT_NEAR(*v.standardDeviation() / (std::sqrt(varK1) * 1e-6), 1.0, 1e-6);
}

} // namespace zt40::test
