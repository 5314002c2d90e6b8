// A plot canvas that records what is drawn where, with the pen, brush, font and clip in force.
// Texts measure 0.6 of the font's height per character, lines 1.25 of it: enough to judge
// where texts go and whether they fit, the same on every machine.
#pragma once

#include "TrendPlot.h"

#include <QColor>
#include <QList>
#include <QRectF>
#include <QString>

#include <algorithm>
#include <optional>
#include <vector>

namespace zt40::test {

struct PlotCall {
    enum Kind { Polyline, Polygon, Rect, Circle, Text } kind;
    QList<QPointF> points; // polyline, polygon; a circle's centre
    QRectF box;            // rectangle, a text's box, a circle's bounds
    QString text;
    QColor pen;
    Qt::PenStyle penStyle = Qt::SolidLine;
    QColor brush;
    std::optional<QRectF> clip;

    // Bounds of the points of a polyline or polygon.
    QRectF bounds() const {
        if (kind != Polyline && kind != Polygon) {
            return box;
        }
        QPointF low = points.value(0);
        QPointF high = low;
        for (const QPointF& p : points) {
            low = {std::min(low.x(), p.x()), std::min(low.y(), p.y())};
            high = {std::max(high.x(), p.x()), std::max(high.y(), p.y())};
        }
        return {low, high};
    }
};

class RecordingPlotCanvas : public PlotCanvas {
public:
    std::vector<PlotCall> calls;

    void setPen(const QColor& colour, double /*width*/, Qt::PenStyle style) override {
        pen_ = colour;
        penStyle_ = style;
    }
    void setBrush(const QColor& colour) override { brush_ = colour; }
    void drawPolyline(const QList<QPointF>& points) override { add(PlotCall::Polyline, points); }
    void drawPolygon(const QList<QPointF>& points) override { add(PlotCall::Polygon, points); }
    void drawRect(const QRectF& rect) override { add(PlotCall::Rect, {}, rect); }
    void drawCircle(const QPointF& centre, double radius) override {
        add(PlotCall::Circle, {centre},
            QRectF(centre - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius)));
    }
    void setFont(double pixels, bool) override { font_ = pixels; }
    double textWidth(const QString& text) const override {
        return 0.6 * font_ * static_cast<double>(text.size());
    }
    double lineHeight() const override { return 1.25 * font_; }
    void drawText(const QPointF& anchor, Qt::Alignment align, const QString& text) override {
        add(PlotCall::Text, {anchor}, alignedBox(anchor, align, textWidth(text), lineHeight()),
            text);
    }
    void setClip(const std::optional<QRectF>& rect) override { clip_ = rect; }

    // The calls of a kind drawn with a pen or brush of the colour.
    std::vector<PlotCall> drawn(PlotCall::Kind kind, const QColor& colour) const {
        std::vector<PlotCall> out;
        std::copy_if(calls.begin(), calls.end(), std::back_inserter(out), [&](const PlotCall& c) {
            return c.kind == kind && (c.pen == colour || c.brush == colour);
        });
        return out;
    }
    const PlotCall* text(const QString& text) const {
        const auto found = std::find_if(calls.begin(), calls.end(), [&](const PlotCall& c) {
            return c.kind == PlotCall::Text && c.text == text;
        });
        return found == calls.end() ? nullptr : &*found;
    }
    QStringList texts() const {
        QStringList out;
        for (const PlotCall& c : calls) {
            if (c.kind == PlotCall::Text) {
                out.append(c.text);
            }
        }
        return out;
    }

private:
    void add(PlotCall::Kind kind, QList<QPointF> points, QRectF box = {}, QString text = {}) {
        calls.push_back(
            {kind, std::move(points), box, std::move(text), pen_, penStyle_, brush_, clip_});
    }

    QColor pen_;
    Qt::PenStyle penStyle_ = Qt::SolidLine;
    QColor brush_;
    double font_ = 12;
    std::optional<QRectF> clip_;
};

} // namespace zt40::test
