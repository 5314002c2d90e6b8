#include "TrendScale.h"

#include <algorithm>
#include <cmath>

namespace zt40 {

QList<QPointF> readingPoints(std::span<const double> values, std::size_t from) {
    QList<QPointF> out;
    if (from >= values.size()) {
        return out;
    }
    out.reserve(static_cast<qsizetype>(values.size() - from));
    for (std::size_t row = from; row < values.size(); ++row) {
        if (!std::isnan(values[row])) {
            out.append(QPointF(static_cast<double>(row + 1), values[row]));
        }
    }
    return out;
}

QList<QPointF> slicedExtremes(std::span<const double> values, int slices) {
    const std::size_t n = values.size();
    if (slices < 1 || n <= static_cast<std::size_t>(slices)) {
        return readingPoints(values);
    }
    const auto count = static_cast<std::size_t>(slices);
    const auto point = [&](std::size_t row) { return QPointF(double(row + 1), values[row]); };
    QList<QPointF> out;
    out.reserve(2 * qsizetype(slices));
    for (std::size_t slice = 0; slice < count; ++slice) {
        const std::size_t end = n * (slice + 1) / count;
        std::size_t low = end;
        std::size_t high = end;
        for (std::size_t row = n * slice / count; row < end; ++row) {
            const double v = values[row];
            if (std::isnan(v)) {
                continue;
            }
            if (low == end || v < values[low]) {
                low = row;
            }
            if (high == end || v >= values[high]) {
                high = row;
            }
        }
        if (low == end) {
            continue;
        }
        out.append(point(std::min(low, high)));
        if (low != high) {
            out.append(point(std::max(low, high)));
        }
    }
    return out;
}

AxisTicks readingTicks(double first, double last, int maxIntervals) {
    maxIntervals = std::max(maxIntervals, 1);
    double interval = 1;
    // 1, 2, 5, 10, 20, 50, ...
    for (int k = 0; (last - first) / interval > maxIntervals; ++k) {
        interval *= k % 3 == 1 ? 2.5 : 2;
    }
    // Longer steps fall on round numbers (2, 4, ... or 10, 20, ...), single ones on every
    // reading from the first.
    return {interval, interval > 1 ? 0.0 : 1.0};
}

ValueRange valueAxisRange(double minimum, double maximum, double mean, double deviation) {
    double low = std::min(minimum, mean - deviation);
    double high = std::max(maximum, mean + deviation);
    const double margin = high > low ? (high - low) * 0.05 : std::max(std::abs(high) * 0.01, 0.5);
    return {low - margin, high + margin};
}

namespace {

// The smallest of 1, 2 or 5 times a power of ten that cuts span into at most maxIntervals.
double niceInterval(double span, int maxIntervals) {
    const double rough = span / std::max(maxIntervals, 1);
    double interval = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (interval * factor >= rough * (1 - 1e-12)) {
            return interval * factor;
        }
    }
    return interval * 10;
}

} // namespace

int NiceAxis::ticks() const {
    return static_cast<int>(std::lround((high - low) / interval)) + 1;
}

NiceAxis niceValueAxis(double low, double high, int maxIntervals) {
    if (!(high > low) || !std::isfinite(high - low)) {
        return {};
    }
    double interval = niceInterval(high - low, maxIntervals);
    // Rounding out may take one interval more than the span needed: then the next size.
    for (;;) {
        const double niceLow = std::floor(low / interval) * interval;
        const double niceHigh = std::ceil(high / interval) * interval;
        if ((niceHigh - niceLow) / interval <= maxIntervals + 1e-9) {
            return {niceLow, niceHigh, interval};
        }
        interval = niceInterval(interval * 1.01, 1);
    }
}

AxisTicks timeTicks(double first, double last, int maxIntervals, double utcOffsetMs) {
    constexpr double Second = 1000, Minute = 60 * Second, Hour = 60 * Minute, Day = 24 * Hour;
    constexpr double steps[] = {Second,      2 * Second,  5 * Second, 10 * Second, 15 * Second,
                                30 * Second, Minute,      2 * Minute, 5 * Minute,  10 * Minute,
                                15 * Minute, 30 * Minute, Hour,       2 * Hour,    3 * Hour,
                                6 * Hour,    12 * Hour,   Day};
    const double span = last - first;
    maxIntervals = std::max(maxIntervals, 1);
    double interval = Day;
    for (const double step : steps) {
        if (span / step <= maxIntervals) {
            interval = step;
            break;
        }
    }
    while (span / interval > maxIntervals) {
        interval += Day;
    }
    // Local midnight is a tick; so are the round times after it.
    return {interval, std::fmod(-utcOffsetMs, interval)};
}

std::vector<double> tickPositions(double first, double last, AxisTicks ticks) {
    std::vector<double> out;
    // A nonsense interval gives no ticks rather than millions.
    if (!(ticks.interval > 0) || !(last >= first) || (last - first) / ticks.interval > 10000) {
        return out;
    }
    const double slack = ticks.interval * 1e-9;
    for (double k = std::ceil((first - ticks.anchor) / ticks.interval - 1e-9);; ++k) {
        const double at = ticks.anchor + k * ticks.interval;
        if (at > last + slack) {
            break;
        }
        out.push_back(at);
    }
    return out;
}

int labelDecimals(double low, double high, int ticks) {
    const double interval = (high - low) / std::max(ticks - 1, 1);
    if (!(interval > 0) || !std::isfinite(interval)) {
        return 0;
    }
    int decimals = 0;
    for (double scaled = interval;
         decimals < 9 && std::abs(scaled - std::round(scaled)) > 1e-6 * scaled; scaled *= 10) {
        ++decimals;
    }
    return decimals;
}

} // namespace zt40
