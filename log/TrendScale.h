// The trend's arithmetic, apart from the chart that shows it: which points of a long list are
// drawn, where the ticks of the reading axis go, the range of the value axis and the decimals
// its labels need.
#pragma once

#include <QList>
#include <QPointF>

#include <cstddef>
#include <span>

namespace zt40 {

// The readings of rows `from` on, from the value of every row in list order (NaN where the
// text is no number): one point per number, its reading number (row + 1) against its value.
QList<QPointF> readingPoints(std::span<const double> values, std::size_t from = 0);

// The same rows cut into `slices` runs of reading numbers of nearly equal length: the lowest
// (the first of equals) and the highest (the last of equals) reading of each run, in the order
// of their reading numbers; one point for a run with one reading, none for a run without.
// With no more rows than slices, every reading.
QList<QPointF> slicedExtremes(std::span<const double> values, int slices);

struct AxisTicks {
    double interval = 1;
    double anchor = 1; // a tick sits here, and every interval from it
};
// Ticks on whole reading numbers between first and last: 1, 2 or 5 times a power of ten
// apart, the smallest such interval that gives at most `maxIntervals` of them.
AxisTicks readingTicks(double first, double last, int maxIntervals);

struct ValueRange {
    double low = 0;
    double high = 1;
};
// The value axis before it is rounded to nice numbers: the readings and the band of one
// deviation around the mean, with 5 % of that span added either side. Readings all alike get
// 1 % of their value either side, at least 0.5.
ValueRange valueAxisRange(double minimum, double maximum, double mean, double deviation);

// Digits after the decimal point that the labels of `ticks` ticks from low to high need to
// show every tick exactly: none for whole steps, at most nine.
int labelDecimals(double low, double high, int ticks);

} // namespace zt40
