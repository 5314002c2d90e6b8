// Statistics of the measured values in the list: how many, mean, sample standard deviation,
// minimum, maximum and range, of the values the list read as numbers; a text that is no number
// (an overflow mark, a colon) is counted apart and left out.
#pragma once

#include "MeasurementListModel.h"

#include <QObject>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zt40 {

// Mean and spread kept up to date value by value with Welford's update: constant time per
// value, and no sum of squares that loses the spread of nearly equal values.
class RunningStatistics {
public:
    void add(double x);
    // A reading with the digits it carries after its separator: also summed exactly, as the
    // decimal it is, for a mean shown as a spreadsheet shows it.
    void add(double x, int decimals);
    void clear() { *this = RunningStatistics(); }

    long long count() const { return n_; }
    double mean() const { return mean_; }
    // Sample standard deviation (n - 1); none below two values.
    std::optional<double> standardDeviation() const;
    double minimum() const { return min_; }
    double maximum() const { return max_; }
    // The mean with `decimals` digits after `separator`, worked out from the exact decimal sum
    // and rounded half away from zero, as ROUND(AVERAGE(...); decimals) in a spreadsheet; none
    // without values, when one came without its decimals, or past the exact sum's range.
    std::optional<std::string> exactMeanText(int decimals, char separator) const;

private:
    void addValue(double x);

    long long n_ = 0;
    // The sum in units of the last decimal place any value carried; exact while exact_.
    long long unitSum_ = 0;
    int unitDecimals_ = 0;
    bool exact_ = true;
    double mean_ = 0;
    double m2_ = 0; // sum of squared deviations from the mean
    double min_ = 0;
    double max_ = 0;
};

// `value` with `decimals` digits after `separator`, no grouping; "" for a value that is not
// finite. A negative zero loses its sign.
std::string formatStatistic(double value, int decimals, char separator);

// Watches a measurement list through its own change signals and keeps its statistics: an
// appended row is read once and added in constant time; a deletion or Clear Data recounts the
// list (rare, and exact). A comment edit changes nothing.
class MeasurementStatistics : public QObject {
    Q_OBJECT
public:
    explicit MeasurementStatistics(const MeasurementListModel& list, QObject* parent = nullptr);

    const RunningStatistics& values() const { return stats_; }
    // Rows whose value is not a number.
    long long nonNumeric() const { return nonNumeric_; }
    // The most digits after the separator any counted value carries.
    int decimals() const { return decimals_; }

    // From now on also keeps the value of every row as a number, for the trend: the rows are
    // read once more now, each new row then only once, with the figures above. Until then
    // nothing is kept, so an append costs no memory of its own.
    void keepRowValues();
    // The value of every row in list order, NaN where the text is no number; empty unless kept.
    const std::vector<double>& rowValues() const { return rowValues_; }

signals:
    void changed();

private:
    void rowAppended(int row);
    void addRow(int row);
    void recount();

    const MeasurementListModel& list_;
    RunningStatistics stats_;
    long long nonNumeric_ = 0;
    int decimals_ = 0;
    bool keepRowValues_ = false;
    std::vector<double> rowValues_;
};

} // namespace zt40
