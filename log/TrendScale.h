// The trend's arithmetic, apart from the plot that shows it: which points of a long list are
// drawn, where the ticks of the reading, time and value axes go, the range of the value axis and
// the decimals its labels need.
#pragma once

#include <QList>
#include <QPointF>

#include <cstddef>
#include <span>
#include <vector>

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

// The value axis rounded out to whole ticks: 1, 2 or 5 times a power of ten apart, the smallest
// such interval that spans low to high in at most `maxIntervals`.
struct NiceAxis {
    double low = 0;
    double high = 1;
    double interval = 1;
    int ticks() const;
};
NiceAxis niceValueAxis(double low, double high, int maxIntervals);

// Ticks of the time-of-day axis (milliseconds since the epoch) between first and last: 1, 2, 5,
// 10, 15 or 30 seconds or minutes, 1, 2, 3, 6 or 12 hours or whole days apart, the smallest such
// interval that gives at most `maxIntervals`; they fall on round times of the local clock, which
// is `utcOffsetMs` ahead of UTC.
AxisTicks timeTicks(double first, double last, int maxIntervals, double utcOffsetMs);

// Where the ticks fall between first and last (both included).
std::vector<double> tickPositions(double first, double last, AxisTicks ticks);

// Digits after the decimal point that the labels of `ticks` ticks from low to high need to
// show every tick exactly: none for whole steps, at most nine.
int labelDecimals(double low, double high, int ticks);

} // namespace zt40
