// Judging the readings against tolerance limits: the limits as the user gives them, the
// verdict of one value, samples of consecutive readings, process capability (Cp, Cpk), and a
// watcher that keeps the count of readings inside the limits as the list grows.
#pragma once

#include "MeasurementStatistics.h"

#include <QObject>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zt40 {

class MeasurementListModel;

// Limits a value is judged by; either may be missing (a one-sided limit).
struct Limits {
    std::optional<double> lower;
    std::optional<double> upper;
    bool any() const { return lower.has_value() || upper.has_value(); }
    bool both() const { return lower.has_value() && upper.has_value(); }
    bool operator==(const Limits&) const = default;
};

// How the user gives the limits: not at all, as a lower and an upper limit (either may be
// left empty), or as a nominal value with a tolerance either side.
enum class LimitKind { Off = 0, Bounds = 1, Nominal = 2 };

struct LimitSettings {
    LimitKind kind = LimitKind::Off;
    std::optional<double> lower;
    std::optional<double> upper;
    std::optional<double> nominal;
    std::optional<double> tolerance;
    bool operator==(const LimitSettings&) const = default;
};

// Why limit settings are refused.
enum class LimitProblem {
    None,
    BoundsMissing,        // neither a lower nor an upper limit
    NominalMissing,       // a nominal value or its tolerance is missing
    Reversed,             // the lower limit lies above the upper one
    Equal,                // both limits are the same value
    ToleranceNotPositive, // a tolerance below zero
    TooLarge,             // the span between the limits is beyond what a number holds
};
LimitProblem checkLimits(const LimitSettings& settings);

// The limits the settings give; none when they are off or refused.
Limits effectiveLimits(const LimitSettings& settings);

// A value exactly on a limit is inside. A value that is no number gets no verdict, and neither
// does any value while there are no limits.
enum class Verdict { None, Inside, Below, Above };
Verdict judge(std::optional<double> value, const Limits& limits);
// The verdict of a row's value as the list read it.
Verdict judgeRow(const MeasurementListModel& list, int row, const Limits& limits);

// A number typed by the user: an optional sign, digits and at most one `separator` (the
// user's decimal separator), blanks around it allowed; nothing else, no digit grouping.
std::optional<double> parseDecimalText(std::string_view text, char separator);
// The shortest text that reads back as the same value, with `separator`.
std::string decimalText(double value, char separator);

// Samples: consecutive readings (rows) of a fixed number form one sample; the last sample may
// still be filling. A size outside 2 to 20 means no samples.
inline constexpr int MinSampleSize = 2;
inline constexpr int MaxSampleSize = 20;
int validSampleSize(int size); // the size, or 0 for none

struct SampleRange {
    int index = 0; // 0-based
    int first = 0; // first row, 0-based
    int rows = 0;  // rows it holds so far
    bool operator==(const SampleRange&) const = default;
};
int sampleCount(int rowCount, int size);
// The sample a row belongs to in a list of `rowCount` rows.
SampleRange sampleOfRow(int row, int rowCount, int size);
// Whether a row is the last one of a complete sample.
bool endsSample(int row, int size);

// Cp = (USL - LSL) / 6s, Cpk = min(USL - mean, mean - LSL) / 3s, s the sample standard
// deviation. Only with both limits and a deviation above zero (so at least two values).
struct Capability {
    double cp = 0;
    double cpk = 0;
};
std::optional<Capability> capability(const RunningStatistics& values, const Limits& limits);

struct VerdictTally {
    long long inside = 0;
    long long below = 0;
    long long above = 0;
    long long judged() const { return inside + below + above; }
    void add(Verdict verdict);
};

// One sample's values and the verdict of its mean.
struct SampleSummary {
    SampleRange range;
    RunningStatistics values;
    long long nonNumeric = 0;
    int decimals = 0; // the most digits after the separator its values carry
    Verdict verdict = Verdict::None;
    bool complete = false;
};
SampleSummary summariseSample(const MeasurementListModel& list, const SampleRange& range, int size,
                              const Limits& limits);
// Every sample of the list, in order.
std::vector<SampleSummary> summariseSamples(const MeasurementListModel& list, int size,
                                            const Limits& limits);

// Watches a measurement list and keeps, for the limits and the sample size set, how many
// numeric readings lie inside, below and above: constant time per appended row, a recount on
// a deletion or a change of the limits.
class MeasurementJudgement : public QObject {
    Q_OBJECT
public:
    explicit MeasurementJudgement(const MeasurementListModel& list, QObject* parent = nullptr);

    void setLimits(const Limits& limits);
    void setSampleSize(int size);
    const Limits& limits() const { return limits_; }
    int sampleSize() const { return sampleSize_; }

    const VerdictTally& tally() const { return tally_; }
    Verdict verdictOfRow(int row) const;
    // The sample the newest row belongs to; nothing without samples or rows.
    std::optional<SampleSummary> currentSample() const;

signals:
    void changed();

private:
    void addRow(int row);
    void recount();

    const MeasurementListModel& list_;
    Limits limits_;
    int sampleSize_ = 0;
    VerdictTally tally_;
};

} // namespace zt40
