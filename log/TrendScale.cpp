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
