#include "Judgement.h"

#include "MeasurementListModel.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace zt40 {

LimitProblem checkLimits(const LimitSettings& s) {
    switch (s.kind) {
    case LimitKind::Off:
        return LimitProblem::None;
    case LimitKind::Bounds:
        if (!s.lower && !s.upper) {
            return LimitProblem::BoundsMissing;
        }
        if (s.lower && s.upper) {
            if (*s.lower > *s.upper) {
                return LimitProblem::Reversed;
            }
            if (*s.lower == *s.upper) {
                return LimitProblem::Equal;
            }
            // The trend's axis and Cp work with the span.
            if (!std::isfinite(*s.upper - *s.lower)) {
                return LimitProblem::TooLarge;
            }
        }
        return LimitProblem::None;
    case LimitKind::Nominal:
        if (!s.nominal || !s.tolerance) {
            return LimitProblem::NominalMissing;
        }
        if (*s.tolerance < 0) {
            return LimitProblem::ToleranceNotPositive;
        }
        if (!std::isfinite(*s.nominal + *s.tolerance) ||
            !std::isfinite(*s.nominal - *s.tolerance) || !std::isfinite(2 * *s.tolerance)) {
            return LimitProblem::TooLarge;
        }
        // No tolerance makes both limits the nominal value itself.
        if (*s.nominal - *s.tolerance == *s.nominal + *s.tolerance) {
            return LimitProblem::Equal;
        }
        return LimitProblem::None;
    }
    return LimitProblem::None;
}

namespace {

// Digits after the point of the shortest text that reads back as `value`: what the user typed,
// without trailing zeros; -1 when there is no such text.
int typedDecimals(double value) {
    std::array<char, 400> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            std::chars_format::fixed);
    if (error != std::errc()) {
        return -1;
    }
    const std::string_view text(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
    const auto point = text.find('.');
    return point == std::string_view::npos ? 0 : static_cast<int>(text.size() - point - 1);
}

// nominal + sign * tolerance worked out in decimal, as the user reads it: the two typed numbers
// as whole counts of their last decimal place, added exactly, then divided once, which gives
// the double nearest to the decimal result, the same double a reading of that text becomes.
// In binary, 82.8 + 1.1 is 83.89999999999999, and a reading of 83.9 would lie above it.
double decimalSum(double nominal, double tolerance, int sign) {
    const int decimals = std::max(typedDecimals(nominal), typedDecimals(tolerance));
    constexpr double Exact = 4503599627370496.0; // 2^52: whole numbers below it are exact
    if (decimals < 0 || decimals > 15) {
        return nominal + sign * tolerance;
    }
    const double scale = std::pow(10.0, decimals); // exact up to 10^22
    const double n = std::round(nominal * scale);
    const double t = std::round(tolerance * scale);
    if (std::abs(n) >= Exact || std::abs(t) >= Exact || std::abs(n) + std::abs(t) >= Exact) {
        return nominal + sign * tolerance;
    }
    return (n + sign * t) / scale;
}

} // namespace

Limits effectiveLimits(const LimitSettings& s) {
    if (s.kind == LimitKind::Off || checkLimits(s) != LimitProblem::None) {
        return {};
    }
    if (s.kind == LimitKind::Bounds) {
        return {s.lower, s.upper};
    }
    return {decimalSum(*s.nominal, *s.tolerance, -1), decimalSum(*s.nominal, *s.tolerance, 1)};
}

Verdict judge(std::optional<double> value, const Limits& limits) {
    if (!value || !limits.any()) {
        return Verdict::None;
    }
    if (limits.lower && *value < *limits.lower) {
        return Verdict::Below;
    }
    if (limits.upper && *value > *limits.upper) {
        return Verdict::Above;
    }
    return Verdict::Inside;
}

Verdict judgeRow(const MeasurementListModel& list, int row, const Limits& limits) {
    const auto number = list.number(row);
    return judge(number ? std::optional<double>(number->value) : std::nullopt, limits);
}

std::optional<double> parseDecimalText(std::string_view text, char separator) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    std::string plain;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        if (text.front() == '-') {
            plain += '-';
        }
        text.remove_prefix(1);
    }
    bool digits = false;
    bool separatorSeen = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            digits = true;
            plain += c;
        } else if (c == separator && !separatorSeen) {
            separatorSeen = true;
            plain += '.';
        } else {
            return std::nullopt;
        }
    }
    if (!digits) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (error != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value == 0 ? 0.0 : value; // no negative zero
}

std::string decimalText(double value, char separator) {
    std::array<char, 64> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            std::chars_format::fixed);
    if (error != std::errc()) {
        return {};
    }
    std::string text(buffer.data(), end);
    std::replace(text.begin(), text.end(), '.', separator);
    return text;
}

int validSampleSize(int size) {
    return size >= MinSampleSize && size <= MaxSampleSize ? size : 0;
}

int sampleCount(int rowCount, int size) {
    if (validSampleSize(size) == 0 || rowCount <= 0) {
        return 0;
    }
    return (rowCount + size - 1) / size;
}

SampleRange sampleOfRow(int row, int rowCount, int size) {
    if (validSampleSize(size) == 0 || row < 0 || row >= rowCount) {
        return {};
    }
    const int index = row / size;
    const int first = index * size;
    return {index, first, std::min(size, rowCount - first)};
}

bool endsSample(int row, int size) {
    return validSampleSize(size) != 0 && row >= 0 && (row + 1) % size == 0;
}

std::optional<Capability> capability(const RunningStatistics& values, const Limits& limits) {
    const auto s = values.standardDeviation();
    if (!limits.both() || !s || !(*s > 0)) {
        return std::nullopt;
    }
    const double mean = values.mean();
    return Capability{(*limits.upper - *limits.lower) / (6 * *s),
                      std::min(*limits.upper - mean, mean - *limits.lower) / (3 * *s)};
}

void VerdictTally::add(Verdict verdict) {
    switch (verdict) {
    case Verdict::Inside:
        ++inside;
        break;
    case Verdict::Below:
        ++below;
        break;
    case Verdict::Above:
        ++above;
        break;
    case Verdict::None:
        break;
    }
}

SampleSummary summariseSample(const MeasurementListModel& list, const SampleRange& range, int size,
                              const Limits& limits) {
    SampleSummary summary;
    summary.range = range;
    summary.complete = validSampleSize(size) != 0 && range.rows == size;
    for (int row = range.first; row < range.first + range.rows; ++row) {
        if (const auto number = list.number(row)) {
            summary.values.add(number->value, number->decimals);
            summary.decimals = std::max(summary.decimals, number->decimals);
        } else {
            ++summary.nonNumeric;
        }
    }
    if (summary.values.count() > 0) {
        summary.verdict = judge(summary.values.mean(), limits);
    }
    return summary;
}

std::vector<SampleSummary> summariseSamples(const MeasurementListModel& list, int size,
                                            const Limits& limits) {
    std::vector<SampleSummary> out;
    const int samples = sampleCount(list.count(), size);
    out.reserve(samples);
    for (int k = 0; k < samples; ++k) {
        out.push_back(
            summariseSample(list, sampleOfRow(k * size, list.count(), size), size, limits));
    }
    return out;
}

MeasurementJudgement::MeasurementJudgement(const MeasurementListModel& list, QObject* parent)
    : QObject(parent), list_(list) {
    connect(&list, &MeasurementListModel::rowAppended, this, [this](int row) {
        addRow(row);
        emit changed();
    });
    connect(&list, &MeasurementListModel::rowRemoved, this, &MeasurementJudgement::recount);
    connect(&list, &MeasurementListModel::rowsCleared, this, &MeasurementJudgement::recount);
    recount();
}

void MeasurementJudgement::setLimits(const Limits& limits) {
    if (limits == limits_) {
        return;
    }
    limits_ = limits;
    recount();
}

void MeasurementJudgement::setSampleSize(int size) {
    size = validSampleSize(size);
    if (size == sampleSize_) {
        return;
    }
    sampleSize_ = size;
    emit changed();
}

Verdict MeasurementJudgement::verdictOfRow(int row) const {
    return judgeRow(list_, row, limits_);
}

std::optional<SampleSummary> MeasurementJudgement::currentSample() const {
    const int rows = list_.count();
    if (sampleSize_ == 0 || rows == 0) {
        return std::nullopt;
    }
    return summariseSample(list_, sampleOfRow(rows - 1, rows, sampleSize_), sampleSize_, limits_);
}

void MeasurementJudgement::addRow(int row) {
    tally_.add(verdictOfRow(row));
}

void MeasurementJudgement::recount() {
    tally_ = {};
    if (limits_.any()) {
        for (int row = 0; row < list_.count(); ++row) {
            addRow(row);
        }
    }
    emit changed();
}

} // namespace zt40
