// The trend's arithmetic: the points drawn of a long list, the ticks of the reading, time and
// value axes, the range of the value axis and the decimals of its labels.
#include "TrendScale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace zt40::test {

namespace {

constexpr double None = std::numeric_limits<double>::quiet_NaN(); // a text that is no number

} // namespace

TEST(TrendScale, ReadingsAndTheLowestAndHighestOfEachSlice) {
    const struct {
        const char* what;
        std::vector<double> values;
        int slices; // 0: every reading from the row `from` on
        std::size_t from;
        QList<QPointF> drawn;
    } cases[] = {
        {"every reading", {3, None, 2}, 0, 0, {{1, 3}, {3, 2}}},
        {"the rows from the third on", {3, None, 2, 5, None}, 0, 2, {{3, 2}, {4, 5}}},
        {"nothing beyond the end", {3}, 0, 2, {}},
        {"no more rows than slices", {3, None, 2}, 3, 0, {{1, 3}, {3, 2}}},
        {"no rows", {}, 2, 0, {}},
        {"high before low, low before high",
         {5, 9, 1, 4, 2, 8, 7, 3},
         2,
         0,
         {{2, 9}, {3, 1}, {5, 2}, {6, 8}}},
        {"equal values: the first and the last of them",
         {4, 4, 4, 6, 0, 6},
         2,
         0,
         {{1, 4}, {3, 4}, {5, 0}, {6, 6}}},
        {"uneven slices: 2, 2 and 3 rows",
         {1, 2, 3, 4, 5, 6, 7},
         3,
         0,
         {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {7, 7}}},
        {"no numbers in a slice, one in another",
         {None, None, 2, None, 0, 1},
         3,
         0,
         {{3, 2}, {5, 0}, {6, 1}}},
    };
    for (const auto& c : cases) {
        const QList<QPointF> drawn =
            c.slices == 0 ? readingPoints(c.values, c.from) : slicedExtremes(c.values, c.slices);
        EXPECT_EQ(drawn, c.drawn) << c.what;
    }
}

TEST(TrendScale, ReadingTicksAreOneTwoOrFiveTimesAPowerOfTen) {
    const struct {
        double last;
        double interval;
        double anchor;
    } cases[] = {
        {2, 1, 1},      {11, 1, 1},      {12, 2, 0},         {21, 2, 0},   {22, 5, 0},
        {51, 5, 0},     {52, 10, 0},     {101, 10, 0},       {102, 20, 0}, {1001, 100, 0},
        {1002, 200, 0}, {5002, 1000, 0}, {100001, 10000, 0},
    };
    for (const auto& c : cases) {
        const AxisTicks ticks = readingTicks(1, c.last, 10);
        EXPECT_EQ(ticks.interval, c.interval) << c.last;
        EXPECT_EQ(ticks.anchor, c.anchor) << c.last;
    }
}

TEST(TrendScale, TheValueAxisHoldsReadingsAndBandWithAMargin) {
    const struct {
        const char* what;
        double minimum, maximum, mean, deviation;
        double low, high;
    } cases[] = {
        {"readings beyond the band", 10, 20, 15, 2, 9.5, 20.5},
        {"band beyond the readings", 14, 16, 15, 3, 11.7, 18.3},
        {"one reading", 80, 80, 80, 0, 79.2, 80.8},
        {"one small reading", 0.2, 0.2, 0.2, 0, -0.3, 0.7},
        {"one negative reading", -200, -200, -200, 0, -202, -198},
    };
    for (const auto& c : cases) {
        const ValueRange range = valueAxisRange(c.minimum, c.maximum, c.mean, c.deviation);
        EXPECT_NEAR(range.low, c.low, 1e-9) << c.what;
        EXPECT_NEAR(range.high, c.high, 1e-9) << c.what;
    }
}

TEST(TrendScale, LabelsCarryTheDecimalsTheirTicksNeed) {
    const struct {
        double low, high;
        int ticks;
        int decimals;
    } cases[] = {
        {0, 100, 6, 0},  {10, 12, 5, 1},   {12, 13, 5, 2}, {0.5, 0.75, 6, 2},
        {0, 1e-3, 5, 5}, {0, 1e-12, 2, 9}, {0, 1, 3, 1},   {3, 3, 5, 0},
        {0, 10, 1, 0},   {5, 4, 2, 0},     {0, NAN, 3, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(labelDecimals(c.low, c.high, c.ticks), c.decimals)
            << c.low << " to " << c.high << " in " << c.ticks;
    }
}

TEST(TrendScale, TheValueAxisIsRoundedOutToWholeTicks) {
    const struct {
        double low, high;
        int maxIntervals;
        NiceAxis axis;
    } cases[] = {
        {10.825, 14.675, 8, {10, 15, 1}},
        {10.825, 14.675, 4, {10, 16, 2}},
        {0.165, 0.935, 8, {0, 1, 0.2}},
        {-3.2, 7.9, 5, {-5, 10, 5}},
        {79.2, 80.8, 5, {79, 81, 0.5}},
        {1e-4, 9e-4, 4, {0, 1e-3, 5e-4}},
        {-202, -198, 8, {-202, -198, 0.5}},
        {2, 2, 5, {0, 1, 1}},
        {0, NAN, 5, {0, 1, 1}},
    };
    for (const auto& c : cases) {
        const NiceAxis axis = niceValueAxis(c.low, c.high, c.maxIntervals);
        EXPECT_NEAR(axis.low, c.axis.low, 1e-12) << c.low << " to " << c.high;
        EXPECT_NEAR(axis.high, c.axis.high, 1e-12) << c.low << " to " << c.high;
        EXPECT_NEAR(axis.interval, c.axis.interval, 1e-12) << c.low << " to " << c.high;
        EXPECT_LE(axis.ticks() - 1, c.maxIntervals) << c.low << " to " << c.high;
    }
}

TEST(TrendScale, TimeTicksFallOnRoundTimesOfTheLocalClock) {
    constexpr double S = 1000, Min = 60 * S, H = 60 * Min;
    // 9 December 2026, 09:00:00 UTC.
    const double nine = 1796806800000;
    const struct {
        double first, span;
        int maxIntervals;
        double offset;             // of the local clock from UTC
        std::vector<double> ticks; // from nine
    } cases[] = {
        {nine, 6 * S, 6, 0, {0, S, 2 * S, 3 * S, 4 * S, 5 * S, 6 * S}},
        {nine - 30 * S, 9.5 * Min, 6, 0, {0, 2 * Min, 4 * Min, 6 * Min, 8 * Min}},
        {nine + 7 * S, 40 * S, 3, 0, {15 * S, 30 * S, 45 * S}},
        {nine, 100 * Min, 4, 0, {0, 30 * Min, 60 * Min, 90 * Min}},
        {nine - 10 * Min, 6 * H, 2, H, {2 * H, 5 * H}},         // 12:00 and 15:00 local
        {nine, 3 * H, 3, 5.5 * H, {0.5 * H, 1.5 * H, 2.5 * H}}, // whole hours five and a half ahead
        {nine, 20 * H, 1, 0, {15 * H}},                         // midnight
    };
    for (const auto& c : cases) {
        std::vector<double> ticks;
        for (const double at :
             tickPositions(c.first, c.first + c.span,
                           timeTicks(c.first, c.first + c.span, c.maxIntervals, c.offset))) {
            ticks.push_back(at - nine);
        }
        EXPECT_EQ(ticks, c.ticks) << (c.first - nine) << " for " << c.span;
    }
    // A span that would need a billion ticks gets none, and so does a reversed one.
    EXPECT_TRUE(tickPositions(0, 1e9, {1, 0}).empty());
    EXPECT_TRUE(tickPositions(3, 2, {1, 0}).empty());
}

} // namespace zt40::test

