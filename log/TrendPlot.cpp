#include "TrendPlot.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace zt40 {

namespace {

// Sizes in pixels of the screen, times the unit of the device drawn on.
constexpr double Pad = 8;
constexpr double Gap = 4;
constexpr double TickLength = 4;
constexpr double TitlePixels = 15;
constexpr double TextPixels = 12;
constexpr double SmallestPixels = 6;
constexpr double SwatchWidth = 18;
constexpr double EntrySpacing = 14;
constexpr double MarkSize = 11;
constexpr double PointRadius = 3;
constexpr int MaxReadingTicks = 10;
constexpr int MaxTimeTicks = 6;
constexpr int MaxValueTicks = 8;

const QColor TextColour(40, 40, 40);
const QColor GridColour(225, 225, 225);
const QColor FrameColour(150, 150, 150);

enum class Swatch { Line, Dashed, Area, Mark, LineWithPoints };

struct LegendEntry {
    QString text;
    Swatch swatch;
    QColor colour;
};

// Every part shown is in the legend; limits, marks and sample means only when there are some.
std::vector<LegendEntry> legendEntries(const TrendPlotData& data) {
    const TrendPlotTexts& t = data.texts;
    std::vector<LegendEntry> out{{t.readings, Swatch::Line, TrendColours::readings},
                                 {t.mean, Swatch::Line, TrendColours::mean},
                                 {t.band, Swatch::Area, TrendColours::band}};
    if (data.lower) {
        out.push_back({t.lowerLimit, Swatch::Dashed, TrendColours::limit});
    }
    if (data.upper) {
        out.push_back({t.upperLimit, Swatch::Dashed, TrendColours::limit});
    }
    if (!data.outside.isEmpty()) {
        out.push_back({t.outside, Swatch::Mark, TrendColours::outside});
    }
    if (!data.sampleMeans.isEmpty()) {
        out.push_back({t.sampleMeans, Swatch::LineWithPoints, TrendColours::sampleMeans});
    }
    return out;
}

// The largest font up to `pixels` in which each text, `extra` wider, fits into `width`.
double fittingFont(PlotCanvas& canvas, double pixels, bool bold, const QStringList& texts,
                   double extra, double width, double smallest) {
    for (;;) {
        canvas.setFont(pixels, bold);
        double widest = 0;
        for (const QString& text : texts) {
            widest = std::max(widest, canvas.textWidth(text));
        }
        if (widest + extra <= width || pixels <= smallest) {
            return pixels;
        }
        // Text widths do not scale exactly with the font: a little smaller until it fits.
        pixels = std::max(smallest, std::min(pixels * 0.95, pixels * (width - extra) / widest));
    }
}

QList<QPointF> triangle(const QPointF& centre, double size, bool up) {
    const double h = up ? size / 2 : -size / 2;
    return {{centre.x(), centre.y() - h},
            {centre.x() + size / 2, centre.y() + h},
            {centre.x() - size / 2, centre.y() + h}};
}

QString valueLabel(double v, int decimals, QChar point) {
    if (std::abs(v) < 1e-12) {
        v = 0; // no "-0.0"
    }
    return QString::number(v, 'f', decimals).replace(QLatin1Char('.'), point);
}

QString xLabel(double x, PlotAxis axis) {
    if (axis == PlotAxis::Reading) {
        return QString::number(x, 'f', 0);
    }
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(x)))
        .toString(QStringLiteral("HH:mm:ss"));
}

// The value axis holds the readings, the band and the limits, so that the readings are seen
// against them.
ValueRange valueRange(const TrendPlotData& data) {
    if (!data.mean) {
        return {};
    }
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (const QPointF& p : data.readings) {
        low = std::min(low, p.y());
        high = std::max(high, p.y());
    }
    for (const std::optional<double>& limit : {data.lower, data.upper}) {
        if (limit) {
            low = std::min(low, *limit);
            high = std::max(high, *limit);
        }
    }
    if (low > high) {
        low = high = *data.mean;
    }
    return valueAxisRange(low, high, *data.mean, data.deviation.value_or(0));
}

void drawSwatch(PlotCanvas& canvas, const LegendEntry& entry, const QRectF& box, double unit) {
    const double y = box.center().y();
    const QList<QPointF> line{{box.left(), y}, {box.right(), y}};
    switch (entry.swatch) {
    case Swatch::Area:
        canvas.setPen(entry.colour, 0, Qt::NoPen);
        canvas.setBrush(entry.colour);
        canvas.drawRect(QRectF(box.left(), y - 5 * unit, box.width(), 10 * unit));
        break;
    case Swatch::Mark:
        canvas.setPen(Qt::white, unit, Qt::SolidLine);
        canvas.setBrush(entry.colour);
        canvas.drawPolygon(triangle(box.center(), MarkSize * unit, true));
        break;
    case Swatch::Line:
    case Swatch::Dashed:
    case Swatch::LineWithPoints:
        canvas.setPen(entry.colour, 2 * unit,
                      entry.swatch == Swatch::Dashed ? Qt::DashLine : Qt::SolidLine);
        canvas.drawPolyline(line);
        if (entry.swatch == Swatch::LineWithPoints) {
            canvas.setBrush(entry.colour);
            canvas.drawCircle(box.center(), PointRadius * unit);
        }
        break;
    }
}

// The legend in rows under the plot, each row centred; returns its height.
double legendHeight(PlotCanvas& canvas, const std::vector<LegendEntry>& entries, double width,
                    double unit, std::vector<std::vector<std::size_t>>& rows) {
    const double swatch = (SwatchWidth + Gap) * unit;
    double used = 0;
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const double w = swatch + canvas.textWidth(entries[k].text);
        if (rows.empty() || used + EntrySpacing * unit + w > width) {
            rows.emplace_back();
            used = w;
        } else {
            used += EntrySpacing * unit + w;
        }
        rows.back().push_back(k);
    }
    return static_cast<double>(rows.size()) * canvas.lineHeight();
}

void drawLegend(PlotCanvas& canvas, const std::vector<LegendEntry>& entries,
                const std::vector<std::vector<std::size_t>>& rows, double centreX, double top,
                double unit) {
    const double swatch = (SwatchWidth + Gap) * unit;
    const double height = canvas.lineHeight();
    for (const std::vector<std::size_t>& row : rows) {
        double rowWidth = EntrySpacing * unit * static_cast<double>(row.size() - 1);
        for (const std::size_t k : row) {
            rowWidth += swatch + canvas.textWidth(entries[k].text);
        }
        double x = centreX - rowWidth / 2;
        for (const std::size_t k : row) {
            drawSwatch(canvas, entries[k], QRectF(x, top, SwatchWidth * unit, height), unit);
            canvas.setPen(TextColour, unit, Qt::SolidLine);
            canvas.drawText({x + swatch, top}, Qt::AlignLeft | Qt::AlignTop, entries[k].text);
            x += swatch + canvas.textWidth(entries[k].text) + EntrySpacing * unit;
        }
        top += height;
    }
}

QList<QPointF> mapped(const TrendPlotFrame& frame, const QList<QPointF>& values) {
    QList<QPointF> out;
    out.reserve(values.size());
    for (const QPointF& v : values) {
        out.append(frame.map(v));
    }
    return out;
}

void drawData(PlotCanvas& canvas, const TrendPlotData& data, const TrendPlotFrame& frame,
              double unit) {
    const QRectF& area = frame.plotArea;
    const auto across = [&](double value) {
        const double y = frame.map({frame.xLow, value}).y();
        return QList<QPointF>{{area.left(), y}, {area.right(), y}};
    };
    if (data.mean && data.deviation) {
        const double top = frame.map({0, *data.mean + *data.deviation}).y();
        const double bottom = frame.map({0, *data.mean - *data.deviation}).y();
        canvas.setPen(TrendColours::band, 0, Qt::NoPen);
        canvas.setBrush(TrendColours::band);
        canvas.drawRect(QRectF(area.left(), top, area.width(), bottom - top));
    }
    canvas.setBrush(Qt::transparent);
    if (data.mean) {
        canvas.setPen(TrendColours::mean, 2 * unit, Qt::SolidLine);
        canvas.drawPolyline(across(*data.mean));
    }
    const QList<QPointF> readings = mapped(frame, data.readings);
    canvas.setPen(TrendColours::readings, 1.5 * unit, Qt::SolidLine);
    canvas.drawPolyline(readings);
    if (data.markers) {
        canvas.setBrush(TrendColours::readings);
        for (const QPointF& p : readings) {
            canvas.drawCircle(p, PointRadius * unit);
        }
    }
    canvas.setBrush(Qt::transparent);
    canvas.setPen(TrendColours::limit, 1.5 * unit, Qt::DashLine);
    for (const std::optional<double>& limit : {data.lower, data.upper}) {
        if (limit) {
            canvas.drawPolyline(across(*limit));
        }
    }
    if (!data.sampleMeans.isEmpty()) {
        const QList<QPointF> means = mapped(frame, data.sampleMeans);
        canvas.setPen(TrendColours::sampleMeans, 2 * unit, Qt::SolidLine);
        canvas.drawPolyline(means);
        canvas.setBrush(TrendColours::sampleMeans);
        for (const QPointF& p : means) {
            canvas.drawCircle(p, PointRadius * unit);
        }
    }
    // Above the upper limit the mark points up, below the lower one down.
    canvas.setPen(Qt::white, unit, Qt::SolidLine);
    canvas.setBrush(TrendColours::outside);
    for (const QPointF& mark : data.outside) {
        const bool above = data.upper && mark.y() > *data.upper;
        canvas.drawPolygon(triangle(frame.map(mark), frame.markSize, above));
    }
}

} // namespace

QRectF alignedBox(const QPointF& anchor, Qt::Alignment align, double width, double height) {
    double left = anchor.x();
    if (align & Qt::AlignRight) {
        left -= width;
    } else if (align & Qt::AlignHCenter) {
        left -= width / 2;
    }
    double top = anchor.y();
    if (align & Qt::AlignBottom) {
        top -= height;
    } else if (align & Qt::AlignVCenter) {
        top -= height / 2;
    }
    return {left, top, width, height};
}

QPainterPlotCanvas::QPainterPlotCanvas(QPainter& painter) : painter_(painter) {}

void QPainterPlotCanvas::setPen(const QColor& colour, double width, Qt::PenStyle style) {
    painter_.setPen(QPen(colour, width, style));
}

void QPainterPlotCanvas::setBrush(const QColor& colour) {
    painter_.setBrush(colour.alpha() == 0 ? QBrush(Qt::NoBrush) : QBrush(colour));
}

void QPainterPlotCanvas::drawPolyline(const QList<QPointF>& points) {
    // A wide line of thousands of points is stroked as one outline, which costs far more than
    // the same line in short pieces that share their ends.
    constexpr qsizetype Piece = 64;
    for (qsizetype first = 0; first + 1 < points.size(); first += Piece) {
        const qsizetype count = std::min(Piece + 1, points.size() - first);
        painter_.drawPolyline(points.constData() + first, static_cast<int>(count));
    }
}

void QPainterPlotCanvas::drawPolygon(const QList<QPointF>& points) {
    painter_.drawPolygon(points.constData(), static_cast<int>(points.size()));
}

void QPainterPlotCanvas::drawRect(const QRectF& rect) {
    painter_.drawRect(rect);
}

void QPainterPlotCanvas::drawCircle(const QPointF& centre, double radius) {
    painter_.drawEllipse(centre, radius, radius);
}

void QPainterPlotCanvas::setFont(double pixels, bool bold) {
    // In points of the device, so that the size is the same on a screen, a picture or paper.
    QFont font;
    font.setPointSizeF(pixels * 72.0 / painter_.device()->logicalDpiY());
    font.setBold(bold);
    painter_.setFont(font);
}

double QPainterPlotCanvas::textWidth(const QString& text) const {
    return QFontMetricsF(painter_.font(), painter_.device()).horizontalAdvance(text);
}

double QPainterPlotCanvas::lineHeight() const {
    return QFontMetricsF(painter_.font(), painter_.device()).height();
}

void QPainterPlotCanvas::drawText(const QPointF& anchor, Qt::Alignment align, const QString& text) {
    const QFontMetricsF metrics(painter_.font(), painter_.device());
    const QRectF box = alignedBox(anchor, align, metrics.horizontalAdvance(text), metrics.height());
    painter_.drawText(QPointF(box.left(), box.top() + metrics.ascent()), text);
}

void QPainterPlotCanvas::setClip(const std::optional<QRectF>& rect) {
    if (rect) {
        painter_.setClipRect(*rect);
    } else {
        painter_.setClipping(false);
    }
}

QPointF TrendPlotFrame::map(const QPointF& value) const {
    const double dx = xHigh > xLow ? xHigh - xLow : 1;
    const double dy = yHigh > yLow ? yHigh - yLow : 1;
    return {plotArea.left() + (value.x() - xLow) / dx * plotArea.width(),
            plotArea.bottom() - (value.y() - yLow) / dy * plotArea.height()};
}

TrendPlotFrame drawTrendPlot(PlotCanvas& canvas, const TrendPlotData& data, const QRectF& area,
                             double unit) {
    const TrendPlotTexts& t = data.texts;
    const double pad = Pad * unit;
    const double width = std::max(area.width() - 2 * pad, unit);
    canvas.setClip(std::nullopt);
    canvas.setPen(Qt::white, 0, Qt::NoPen);
    canvas.setBrush(Qt::white);
    canvas.drawRect(area);

    // The title at the top; the legend at the bottom, in as many rows as it needs, in a font
    // small enough for its widest entry and the axis titles.
    double top = area.top() + pad;
    fittingFont(canvas, TitlePixels * unit, true, {t.title}, 0, width, SmallestPixels * unit);
    canvas.setPen(TextColour, unit, Qt::SolidLine);
    canvas.drawText({area.center().x(), top}, Qt::AlignHCenter | Qt::AlignTop, t.title);
    top += canvas.lineHeight() + Gap * unit;

    const std::vector<LegendEntry> entries = legendEntries(data);
    QStringList texts{t.readingAxis, t.timeAxis, t.valueAxis};
    for (const LegendEntry& entry : entries) {
        texts.append(entry.text);
    }
    const double textFont = fittingFont(canvas, TextPixels * unit, false, texts,
                                        (SwatchWidth + Gap) * unit, width, SmallestPixels * unit);
    std::vector<std::vector<std::size_t>> rows;
    const double legendTop = area.bottom() - pad - legendHeight(canvas, entries, width, unit, rows);
    const double line = canvas.lineHeight();

    // The value axis' title above it, the horizontal axis' labels and title under the plot.
    const double yTitleTop = top;
    const double plotTop = top + line + Gap * unit;
    const double xTitleTop = legendTop - Gap * unit - line;
    const double plotBottom = std::max(xTitleTop - line - TickLength * unit, plotTop + unit);

    const ValueRange range = valueRange(data);
    const int valueTicks =
        std::clamp(static_cast<int>((plotBottom - plotTop) / (2 * line)), 1, MaxValueTicks);
    const NiceAxis values = niceValueAxis(range.low, range.high, valueTicks);
    const int decimals = labelDecimals(values.low, values.high, values.ticks());
    QStringList valueLabels;
    double widestValue = 0;
    const std::vector<double> yTicks = tickPositions(values.low, values.high, {values.interval, 0});
    for (const double y : yTicks) {
        valueLabels.append(valueLabel(y, decimals, data.decimalPoint));
        widestValue = std::max(widestValue, canvas.textWidth(valueLabels.back()));
    }
    // Half of a label of the horizontal axis may stand out right of the plot.
    const double xLabelWidth = canvas.textWidth(xLabel(data.lastX, data.axis));
    const double plotLeft = area.left() + pad + widestValue + (Gap + TickLength) * unit;
    const double plotRight = std::max(area.right() - pad - xLabelWidth / 2, plotLeft + unit);

    TrendPlotFrame frame;
    frame.plotArea = QRectF(QPointF(plotLeft, plotTop), QPointF(plotRight, plotBottom));
    frame.xLow = data.firstX;
    frame.xHigh = data.lastX;
    frame.yLow = values.low;
    frame.yHigh = values.high;
    frame.markSize = MarkSize * unit;
    const QRectF& plot = frame.plotArea;

    const int maxXTicks =
        std::clamp(static_cast<int>(plot.width() / (xLabelWidth + 2 * Gap * unit)), 1,
                   data.axis == PlotAxis::Time ? MaxTimeTicks : MaxReadingTicks);
    const double utcOffset =
        data.axis == PlotAxis::Time
            ? 1000.0 *
                  QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(data.firstX)).offsetFromUtc()
            : 0;
    const std::vector<double> xTicks = tickPositions(
        data.firstX, data.lastX,
        data.axis == PlotAxis::Time ? timeTicks(data.firstX, data.lastX, maxXTicks, utcOffset)
                                    : readingTicks(data.firstX, data.lastX, maxXTicks));

    // Grid, frame, ticks and their labels.
    canvas.setBrush(Qt::transparent);
    canvas.setPen(GridColour, unit, Qt::SolidLine);
    for (const double x : xTicks) {
        const double at = frame.map({x, 0}).x();
        canvas.drawPolyline({{at, plot.top()}, {at, plot.bottom()}});
    }
    for (const double y : yTicks) {
        const double at = frame.map({0, y}).y();
        canvas.drawPolyline({{plot.left(), at}, {plot.right(), at}});
    }
    canvas.setPen(FrameColour, unit, Qt::SolidLine);
    canvas.drawRect(plot);
    for (const double x : xTicks) {
        const double at = frame.map({x, 0}).x();
        canvas.drawPolyline({{at, plot.bottom()}, {at, plot.bottom() + TickLength * unit}});
    }
    for (const double y : yTicks) {
        const double at = frame.map({0, y}).y();
        canvas.drawPolyline({{plot.left() - TickLength * unit, at}, {plot.left(), at}});
    }
    canvas.setPen(TextColour, unit, Qt::SolidLine);
    canvas.setFont(textFont, false);
    for (const double x : xTicks) {
        canvas.drawText({frame.map({x, 0}).x(), plot.bottom() + TickLength * unit},
                        Qt::AlignHCenter | Qt::AlignTop, xLabel(x, data.axis));
    }
    for (std::size_t k = 0; k < yTicks.size(); ++k) {
        canvas.drawText({plot.left() - (Gap + TickLength) * unit, frame.map({0, yTicks[k]}).y()},
                        Qt::AlignRight | Qt::AlignVCenter, valueLabels[qsizetype(k)]);
    }
    canvas.drawText({area.left() + pad, yTitleTop}, Qt::AlignLeft | Qt::AlignTop, t.valueAxis);
    canvas.drawText({area.center().x(), xTitleTop}, Qt::AlignHCenter | Qt::AlignTop,
                    data.axis == PlotAxis::Time ? t.timeAxis : t.readingAxis);

    canvas.setClip(plot);
    drawData(canvas, data, frame, unit);
    canvas.setClip(std::nullopt);

    drawLegend(canvas, entries, rows, area.center().x(), legendTop, unit);
    return frame;
}

std::optional<qsizetype> outsideMarkAt(const TrendPlotData& data, const TrendPlotFrame& frame,
                                       const QPointF& at) {
    std::optional<qsizetype> nearest;
    double best = frame.markSize / 2 + 1;
    for (qsizetype k = 0; k < data.outside.size(); ++k) {
        const QPointF d = frame.map(data.outside[k]) - at;
        const double distance = std::max(std::abs(d.x()), std::abs(d.y()));
        if (distance <= best) {
            best = distance;
            nearest = k;
        }
    }
    return nearest;
}

} // namespace zt40
