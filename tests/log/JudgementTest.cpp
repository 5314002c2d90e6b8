#include "Judgement.h"

#include "MeasurementListModel.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace zt40::test {

namespace {

constexpr auto none = std::nullopt;

LimitSettings bounds(std::optional<double> lower, std::optional<double> upper) {
    return {LimitKind::Bounds, lower, upper, none, none};
}
LimitSettings nominal(std::optional<double> value, std::optional<double> tolerance) {
    return {LimitKind::Nominal, none, none, value, tolerance};
}

void append(MeasurementListModel& list, const char* value) {
    list.appendRow("d", "t", "C", value, "");
}

} // namespace

TEST(Judgement, LimitSettingsAreCheckedAndGiveTheirLimits) {
    const struct {
        LimitSettings settings;
        LimitProblem problem;
        Limits limits;
    } cases[] = {
        {{}, LimitProblem::None, {}},
        // Off keeps the values typed earlier but judges nothing.
        {{LimitKind::Off, 1.0, 2.0, none, none}, LimitProblem::None, {}},
        {bounds(12.0, 14.5), LimitProblem::None, {12.0, 14.5}},
        {bounds(12.0, none), LimitProblem::None, {12.0, none}},
        {bounds(none, -3.0), LimitProblem::None, {none, -3.0}},
        {bounds(none, none), LimitProblem::BoundsMissing, {}},
        {bounds(14.5, 12.0), LimitProblem::Reversed, {}},
        {bounds(12.0, 12.0), LimitProblem::Equal, {}},
        {nominal(80.0, 2.5), LimitProblem::None, {77.5, 82.5}},
        {nominal(80.0, none), LimitProblem::NominalMissing, {}},
        {nominal(none, 2.5), LimitProblem::NominalMissing, {}},
        {nominal(80.0, 0.0), LimitProblem::Equal, {}},
        {nominal(80.0, -1.0), LimitProblem::ToleranceNotPositive, {}},
        // A tolerance too small to move the limits off the nominal value at all.
        {nominal(1e20, 1.0), LimitProblem::Equal, {}},
        // Limits whose span no number holds would leave Cp and the trend's axis infinite.
        {bounds(-1e308, 1e308), LimitProblem::TooLarge, {}},
        {nominal(1e308, 1e308), LimitProblem::TooLarge, {}},
        {nominal(0.0, 1e308), LimitProblem::TooLarge, {}},
        {bounds(-1e307, 1e307), LimitProblem::None, {-1e307, 1e307}},
    };
    for (const auto& c : cases) {
        const auto i = &c - cases;
        EXPECT_EQ(checkLimits(c.settings), c.problem) << i;
        EXPECT_EQ(effectiveLimits(c.settings), c.limits) << i;
    }
}

TEST(Judgement, AValueOnALimitIsInsideAndTextsThatAreNoNumberGetNoVerdict) {
    const Limits both{12.0, 14.0};
    const Limits lowerOnly{12.0, none};
    const Limits upperOnly{none, 14.0};
    const struct {
        const char* value;
        Limits limits;
        Verdict verdict;
    } cases[] = {
        {"13,0", both, Verdict::Inside},
        {"12,0", both, Verdict::Inside},
        {"14.0", both, Verdict::Inside},
        {"11,9", both, Verdict::Below},
        {"14,01", both, Verdict::Above},
        {"-12", both, Verdict::Below},
        {"1000", lowerOnly, Verdict::Inside},
        {"11.99", lowerOnly, Verdict::Below},
        {"-50", upperOnly, Verdict::Inside},
        {"14,1", upperOnly, Verdict::Above},
        {"  OL", both, Verdict::None},
        {"13:.5", both, Verdict::None},
        {"", both, Verdict::None},
        {"13,0", Limits{}, Verdict::None},
    };
    // Each value as a row of the list, judged by the number the list read.
    MeasurementListModel list;
    for (const auto& c : cases) {
        list.appendRow("10.12.2026", "08:00:00", "C", c.value, "");
        EXPECT_EQ(judgeRow(list, list.count() - 1, c.limits), c.verdict) << c.value;
    }
}

// Nominal value and tolerance with one or two decimals, as a lab types them: both limits are
// the decimal the user works out, shown without binary noise, and a reading exactly on a limit
// is inside, one last-digit step beyond it outside (82.8 +- 1.1 once gave 83.89999999999999,
// and a reading of 83.9 was too high).
TEST(Judgement, NominalAndToleranceGiveExactDecimalLimits) {
    const auto text = [](long long units, int decimals) {
        const long long scale = decimals == 1 ? 10 : 100;
        const std::string fraction = std::to_string(units % scale);
        return std::to_string(units / scale) + "." +
               std::string(static_cast<std::size_t>(decimals) - fraction.size(), '0') + fraction;
    };
    const auto number = [](const std::string& typed) { return parseValueText(typed)->value; };
    int pairs = 0;
    for (const int decimals : {1, 2}) {
        const int step = decimals == 1 ? 1 : 7; // every tenth; every seventh hundredth
        for (long long nominal = 0; nominal <= 1000 * decimals * decimals; nominal += step) {
            for (long long tolerance = 1; tolerance <= 40; tolerance += decimals) {
                if (tolerance > nominal) {
                    continue;
                }
                const LimitSettings settings{LimitKind::Nominal,
                                             {},
                                             {},
                                             number(text(nominal, decimals)),
                                             number(text(tolerance, decimals))};
                const Limits limits = effectiveLimits(settings);
                const std::string upper = text(nominal + tolerance, decimals);
                const std::string lower = text(nominal - tolerance, decimals);
                // The very number a reading of that text becomes, so shown as typed.
                ASSERT_EQ(*limits.upper, number(upper)) << text(nominal, decimals);
                ASSERT_EQ(*limits.lower, number(lower)) << text(nominal, decimals);
                // One more decimal place for the step beyond, as an instrument may show it.
                ASSERT_EQ(judge(number(upper), limits), Verdict::Inside) << upper;
                ASSERT_EQ(judge(number(lower), limits), Verdict::Inside) << lower;
                ASSERT_EQ(judge(number(upper + "1"), limits), Verdict::Above) << upper;
                ASSERT_EQ(judge(number(lower + "1"), limits), Verdict::Inside) << lower;
                if (nominal - tolerance > 0) {
                    ASSERT_EQ(judge(number(text(nominal - tolerance - 1, decimals)), limits),
                              Verdict::Below)
                        << lower;
                }
                ++pairs;
            }
        }
    }
    EXPECT_GT(pairs, 40000);
}

TEST(Judgement, TypedNumbersFollowTheUsersDecimalSeparatorOnly) {
    const struct {
        const char* text;
        char separator;
        std::optional<double> value;
    } cases[] = {
        {"12,5", ',', 12.5},
        {" -0,25 ", ',', -0.25},
        {"+3", ',', 3.0},
        {",5", ',', 0.5},
        {"12.5", '.', 12.5},
        {"7.", '.', 7.0},
        {"-0", '.', 0.0},
        // The other separator, digit grouping, exponents and words are refused, not guessed.
        {"12.5", ',', none},
        {"1.000,5", ',', none},
        {"1,5", '.', none},
        {"1e3", '.', none},
        {"", ',', none},
        {"-", ',', none},
        {",", ',', none},
        {"12,5,1", ',', none},
        {"abc", ',', none},
        {"12 5", ',', none},
    };
    for (const auto& c : cases) {
        const auto parsed = parseDecimalText(c.text, c.separator);
        EXPECT_EQ(parsed, c.value) << c.text;
        if (parsed && *parsed == 0) {
            EXPECT_FALSE(std::signbit(*parsed)) << "negative zero from " << c.text;
        }
    }
    // What is written reads back as the same number.
    for (const double v : {12.5, -0.1, 1e-7, 123456789.125, 0.0}) {
        EXPECT_EQ(parseDecimalText(decimalText(v, ','), ','), v) << decimalText(v, ',');
    }
    EXPECT_EQ(decimalText(12.5, ','), "12,5");
}

TEST(Judgement, ConsecutiveReadingsFormSamples) {
    const struct {
        int row;
        int rows;
        int size;
        SampleRange sample;
        bool ends;
    } cases[] = {
        {0, 7, 3, {0, 0, 3}, false},
        {2, 7, 3, {0, 0, 3}, true},
        {3, 7, 3, {1, 3, 3}, false},
        {5, 7, 3, {1, 3, 3}, true},
        {6, 7, 3, {2, 6, 1}, false},
        {19, 20, 20, {0, 0, 20}, true},
        {1, 2, 2, {0, 0, 2}, true},
        // No samples: off, or a size outside 2 to 20, or a row outside the list.
        {0, 7, 0, {}, false},
        {4, 7, 1, {}, false},
        {4, 30, 21, {}, false},
        {7, 7, 3, {}, false},
    };
    for (const auto& c : cases) {
        const auto i = &c - cases;
        EXPECT_EQ(sampleOfRow(c.row, c.rows, c.size), c.sample) << i;
        EXPECT_EQ(endsSample(c.row, c.size), c.ends) << i;
    }
    EXPECT_EQ(sampleCount(7, 3), 3);
    EXPECT_EQ(sampleCount(6, 3), 2);
    EXPECT_EQ(sampleCount(0, 3), 0);
    EXPECT_EQ(sampleCount(7, 1), 0);
}

TEST(Judgement, CapabilityNeedsBothLimitsAndASpread) {
    const auto valuesOf = [](std::initializer_list<double> values) {
        RunningStatistics s;
        for (const double v : values) {
            s.add(v);
        }
        return s;
    };
    // Mean 13, s = 1.
    const RunningStatistics spread = valuesOf({12, 13, 14});
    const struct {
        RunningStatistics values;
        Limits limits;
        std::optional<double> cp;
        std::optional<double> cpk;
    } cases[] = {
        {spread, {7.0, 19.0}, 2.0, 2.0},
        {spread, {10.0, 19.0}, 1.5, 1.0}, // nearer the lower limit: (13 - 10) / 3
        {spread, {7.0, 14.5}, 1.25, 0.5},
        {spread, {14.0, 20.0}, 1.0, -1.0 / 3}, // the mean outside: Cpk below zero
        {spread, {7.0, none}, none, none},
        {spread, {}, none, none},
        {valuesOf({13}), {7.0, 19.0}, none, none},         // one reading: no deviation
        {valuesOf({13, 13, 13}), {7.0, 19.0}, none, none}, // no spread
    };
    for (const auto& c : cases) {
        const auto i = &c - cases;
        const auto result = capability(c.values, c.limits);
        ASSERT_EQ(result.has_value(), c.cp.has_value()) << i;
        if (result) {
            EXPECT_NEAR(result->cp, *c.cp, 1e-12) << i;
            EXPECT_NEAR(result->cpk, *c.cpk, 1e-12) << i;
        }
    }
}

TEST(Judgement, TheWatcherCountsVerdictsAndRegroupsSamplesAfterADeletion) {
    MeasurementListModel list;
    MeasurementJudgement judgement(list);
    QSignalSpy changed(&judgement, &MeasurementJudgement::changed);
    for (const char* v : {"13,0", "11,0", "OL", "15,0", "14,0", "12,0", "16,0"}) {
        append(list, v);
    }
    EXPECT_EQ(judgement.tally().judged(), 0); // no limits yet
    EXPECT_FALSE(judgement.currentSample().has_value());

    const struct {
        const char* step;
        std::function<void()> act;
        long long inside, below, above;
        SampleRange current;
        long long numeric;
        double mean;
        Verdict verdict;
    } steps[] = {
        {"limits set",
         [&] {
             judgement.setLimits({12.0, 14.0});
             judgement.setSampleSize(3);
         },
         3,
         1,
         2,
         {2, 6, 1},
         1,
         16.0,
         Verdict::Above},
        {"appended", [&] { append(list, "12,5"); }, 4, 1, 2, {2, 6, 2}, 2, 14.25, Verdict::Above},
        // Row 2 ("OL") goes: the rows after it move up one sample place.
        {"deleted", [&] { list.removeRowAt(2); }, 4, 1, 2, {2, 6, 1}, 1, 12.5, Verdict::Inside},
        {"one-sided",
         [&] {
             judgement.setLimits({none, 14.0});
         },
         5,
         0,
         2,
         {2, 6, 1},
         1,
         12.5,
         Verdict::Inside},
        {"cleared", [&] { list.clearRows(); }, 0, 0, 0, {}, 0, 0, Verdict::None},
    };
    for (const auto& s : steps) {
        changed.clear();
        s.act();
        EXPECT_FALSE(changed.isEmpty()) << s.step;
        EXPECT_EQ(judgement.tally().inside, s.inside) << s.step;
        EXPECT_EQ(judgement.tally().below, s.below) << s.step;
        EXPECT_EQ(judgement.tally().above, s.above) << s.step;
        const auto current = judgement.currentSample();
        ASSERT_EQ(current.has_value(), list.count() > 0) << s.step;
        if (current) {
            EXPECT_EQ(current->range, s.current) << s.step;
            EXPECT_EQ(current->values.count(), s.numeric) << s.step;
            EXPECT_DOUBLE_EQ(current->values.mean(), s.mean) << s.step;
            EXPECT_EQ(current->verdict, s.verdict) << s.step;
        }
    }

    // Every sample of a list, with its own verdict; the non-numeric reading counted apart.
    for (const char* v : {"13,0", "OL", "13,5", "20,0", "20,5"}) {
        append(list, v);
    }
    judgement.setLimits({12.0, 14.0});
    const auto samples = summariseSamples(list, 2, judgement.limits());
    ASSERT_EQ(samples.size(), 3u);
    EXPECT_EQ(samples[0].values.count(), 1);
    EXPECT_EQ(samples[0].nonNumeric, 1);
    EXPECT_EQ(samples[0].verdict, Verdict::Inside);
    EXPECT_EQ(samples[1].verdict, Verdict::Above);
    EXPECT_DOUBLE_EQ(samples[1].values.mean(), 16.75);
    EXPECT_TRUE(samples[1].complete);
    EXPECT_FALSE(samples[2].complete);
    EXPECT_EQ(samples[2].range, (SampleRange{2, 4, 1}));
}

} // namespace zt40::test
