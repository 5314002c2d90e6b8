// The trend plot, drawn by our own code through a small canvas: the readings as a line, the
// band of one standard deviation around the mean, the mean, the limits, the readings outside
// them marked, the sample means, both axes and a legend. One drawing serves the window, the
// PNG picture, the printout and the report.
#pragma once

#include "TrendScale.h"

#include <QColor>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>
#include <vector>

class QPainter;

namespace zt40 {

// What the plot is drawn on: a QPainter in the program (widget, picture, printer, PDF), a
// recorder in the tests. Positions and sizes are device units.
class PlotCanvas {
public:
    virtual ~PlotCanvas() = default;

    virtual void setPen(const QColor& colour, double width, Qt::PenStyle style) = 0;
    // A transparent brush fills nothing.
    virtual void setBrush(const QColor& colour) = 0;
    virtual void drawPolyline(const QList<QPointF>& points) = 0;
    // Outlined with the pen, filled with the brush.
    virtual void drawPolygon(const QList<QPointF>& points) = 0;
    virtual void drawRect(const QRectF& rect) = 0;
    virtual void drawCircle(const QPointF& centre, double radius) = 0;

    // Font of the texts that follow, its height in device units.
    virtual void setFont(double pixels, bool bold) = 0;
    virtual double textWidth(const QString& text) const = 0;
    virtual double lineHeight() const = 0;
    // One line of text whose box (textWidth by lineHeight) sits at `anchor` as `align` says:
    // left, right or horizontally centred; top, bottom or vertically centred.
    virtual void drawText(const QPointF& anchor, Qt::Alignment align, const QString& text) = 0;

    // Drawing outside the rectangle is cut off; none draws everywhere again.
    virtual void setClip(const std::optional<QRectF>& rect) = 0;
};

// The box of a text `width` by `height` whose anchor is placed as `align` says.
QRectF alignedBox(const QPointF& anchor, Qt::Alignment align, double width, double height);

// The canvas of the program: a QPainter on any device, which stays the caller's.
class QPainterPlotCanvas : public PlotCanvas {
public:
    explicit QPainterPlotCanvas(QPainter& painter);

    void setPen(const QColor& colour, double width, Qt::PenStyle style) override;
    void setBrush(const QColor& colour) override;
    void drawPolyline(const QList<QPointF>& points) override;
    void drawPolygon(const QList<QPointF>& points) override;
    void drawRect(const QRectF& rect) override;
    void drawCircle(const QPointF& centre, double radius) override;
    void setFont(double pixels, bool bold) override;
    double textWidth(const QString& text) const override;
    double lineHeight() const override;
    void drawText(const QPointF& anchor, Qt::Alignment align, const QString& text) override;
    void setClip(const std::optional<QRectF>& rect) override;

private:
    QPainter& painter_;
};

// Colours of the plot's parts.
struct TrendColours {
    static inline const QColor readings{22, 52, 96};
    static inline const QColor mean{200, 90, 20};
    static inline const QColor band{65, 120, 184, 60};
    static inline const QColor limit{170, 20, 20};
    static inline const QColor outside{200, 0, 0};
    static inline const QColor sampleMeans{30, 130, 60};
};

// The horizontal axis: reading numbers, or times of day in milliseconds since the epoch.
enum class PlotAxis { Reading = 0, Time = 1 };

struct TrendPlotTexts {
    QString title;
    QString readings;
    QString mean;
    QString band;
    QString lowerLimit;
    QString upperLimit;
    QString outside;
    QString sampleMeans;
    QString readingAxis; // the horizontal axis' title for reading numbers
    QString timeAxis;    // and for times of day
    QString valueAxis;
};

// What the plot shows, as plain numbers; x is a reading number or a time, as `axis` says.
struct TrendPlotData {
    PlotAxis axis = PlotAxis::Reading;
    double firstX = 1;
    double lastX = 2;
    QList<QPointF> readings;
    bool markers = false; // each reading marked, for short lists
    std::optional<double> mean;
    std::optional<double> deviation;
    std::optional<double> lower;
    std::optional<double> upper;
    QList<QPointF> outside; // readings above the upper or below the lower limit
    QList<QPointF> sampleMeans;
    TrendPlotTexts texts;
    QChar decimalPoint = QLatin1Char('.');
};

// Where the last drawing put the plot: the area inside the axes and the values at its edges.
struct TrendPlotFrame {
    QRectF plotArea;
    double xLow = 0, xHigh = 1, yLow = 0, yHigh = 1;
    double markSize = 11; // side of an outside mark
    QPointF map(const QPointF& value) const;
};

// Draws the plot into `area`; `unit` is device units per pixel of the screen, so that lines,
// marks and texts keep their proportions on a printer or in a PDF.
TrendPlotFrame drawTrendPlot(PlotCanvas& canvas, const TrendPlotData& data, const QRectF& area,
                             double unit);

// The outside mark under a position of the drawing, the nearest one if several; none if no mark
// is there.
std::optional<qsizetype> outsideMarkAt(const TrendPlotData& data, const TrendPlotFrame& frame,
                                       const QPointF& at);

} // namespace zt40
