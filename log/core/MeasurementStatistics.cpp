#include "MeasurementStatistics.h"

#include "MeasurementListModel.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace zt40 {

namespace {

// More digits than a double holds would only show noise.
constexpr int MaxShownDecimals = 15;

} // namespace

void RunningStatistics::add(double x) {
    // Without its decimals the value cannot join the exact sum.
    exact_ = false;
    addValue(x);
}

void RunningStatistics::addValue(double x) {
    ++n_;
    const double delta = x - mean_;
    mean_ += delta / static_cast<double>(n_);
    m2_ += delta * (x - mean_);
    if (n_ == 1) {
        min_ = max_ = x;
    } else {
        min_ = std::min(min_, x);
        max_ = std::max(max_, x);
    }
}

void RunningStatistics::add(double x, int decimals) {
    constexpr int MostDecimals = 9;
    constexpr double Exact = 4503599627370496.0; // 2^52: whole numbers below it are exact
    if (exact_ && (decimals < 0 || decimals > MostDecimals)) {
        exact_ = false;
    }
    while (exact_ && unitDecimals_ < decimals) {
        if (__builtin_mul_overflow(unitSum_, 10LL, &unitSum_)) {
            exact_ = false;
        }
        ++unitDecimals_;
    }
    if (exact_) {
        const double scaled = std::round(x * std::pow(10.0, unitDecimals_));
        if (!(std::abs(scaled) < Exact) ||
            __builtin_add_overflow(unitSum_, static_cast<long long>(scaled), &unitSum_)) {
            exact_ = false;
        }
    }
    addValue(x);
}

std::optional<std::string> RunningStatistics::exactMeanText(int decimals, char separator) const {
    if (!exact_ || n_ == 0 || decimals < 0 || decimals > 18) {
        return std::nullopt;
    }
    __extension__ typedef __int128 Wide;
    const auto power = [](int exponent) {
        Wide p = 1;
        for (int i = 0; i < exponent; ++i) {
            p *= 10;
        }
        return p;
    };
    // mean = unitSum / (n * 10^unitDecimals); shown in units of 10^-decimals.
    Wide numerator = unitSum_;
    Wide denominator = n_;
    if (decimals >= unitDecimals_) {
        numerator *= power(decimals - unitDecimals_);
    } else {
        denominator *= power(unitDecimals_ - decimals);
    }
    const bool negative = numerator < 0;
    const Wide magnitude = negative ? -numerator : numerator;
    const Wide rounded = (2 * magnitude + denominator) / (2 * denominator); // half away from 0
    const Wide scale = power(decimals);
    std::string whole = std::to_string(static_cast<unsigned long long>(rounded / scale));
    std::string text = (negative && rounded != 0 ? "-" : "") + whole;
    if (decimals > 0) {
        std::string fraction = std::to_string(static_cast<unsigned long long>(rounded % scale));
        text += separator + std::string(static_cast<std::size_t>(decimals) - fraction.size(), '0') +
                fraction;
    }
    return text;
}

std::optional<double> RunningStatistics::standardDeviation() const {
    if (n_ < 2) {
        return std::nullopt;
    }
    // Rounding can leave the sum of squares a hair below zero for equal values.
    return std::sqrt(std::max(m2_, 0.0) / static_cast<double>(n_ - 1));
}

std::string formatStatistic(double value, int decimals, char separator) {
    if (!std::isfinite(value)) {
        return {};
    }
    decimals = std::clamp(decimals, 0, MaxShownDecimals);
    std::array<char, 400> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            std::chars_format::fixed, decimals);
    if (error != std::errc()) {
        return {};
    }
    std::string text(buffer.data(), end);
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) {
        text.erase(0, 1);
    }
    std::replace(text.begin(), text.end(), '.', separator);
    return text;
}

MeasurementStatistics::MeasurementStatistics(const MeasurementListModel& list, QObject* parent)
    : QObject(parent), list_(list) {
    connect(&list, &MeasurementListModel::rowAppended, this, &MeasurementStatistics::rowAppended);
    connect(&list, &MeasurementListModel::rowRemoved, this, &MeasurementStatistics::recount);
    connect(&list, &MeasurementListModel::rowsCleared, this, &MeasurementStatistics::recount);
    recount();
}

void MeasurementStatistics::keepRowValues() {
    if (!keepRowValues_) {
        keepRowValues_ = true;
        recount();
    }
}

void MeasurementStatistics::addRow(int row) {
    const auto number = list_.number(row);
    if (number) {
        stats_.add(number->value, number->decimals);
        decimals_ = std::max(decimals_, number->decimals);
    } else {
        ++nonNumeric_;
    }
    if (keepRowValues_) {
        rowValues_.push_back(number ? number->value : std::numeric_limits<double>::quiet_NaN());
    }
}

void MeasurementStatistics::rowAppended(int row) {
    addRow(row);
    emit changed();
}

void MeasurementStatistics::recount() {
    stats_.clear();
    nonNumeric_ = 0;
    decimals_ = 0;
    rowValues_.clear();
    if (keepRowValues_) {
        rowValues_.reserve(static_cast<std::size_t>(list_.count()));
    }
    for (int row = 0; row < list_.count(); ++row) {
        addRow(row);
    }
    emit changed();
}

} // namespace zt40
