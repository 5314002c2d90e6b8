// The trend plot through a recording canvas: what is drawn where, on a screen and on a page of
// eight times its resolution, and which outside mark lies under the mouse.
#include "TrendPlot.h"
#include "RecordingPlotCanvas.h"

#include <QDateTime>

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

namespace zt40::test {

namespace {

// Readings around the limits 12 to 14: one above, one below; the mean and deviation as given.
TrendPlotData judged() {
    TrendPlotData data;
    data.firstX = 1;
    data.lastX = 5;
    data.readings = {{1, 13}, {2, 14.5}, {3, 12.5}, {4, 11}, {5, 13.5}};
    data.markers = true;
    data.mean = 12.9;
    data.deviation = 1.3;
    data.lower = 12;
    data.upper = 14;
    data.outside = {{2, 14.5}, {4, 11}};
    data.sampleMeans = {{2, 13.3}, {4.5, 12.25}};
    data.texts = {"Trend",   "Readings", "Mean",    "Band", "Lower", "Upper",
                  "Outside", "Means",    "Reading", "Time", "Value"};
    data.decimalPoint = QLatin1Char(',');
    return data;
}

void expectNear(const QPointF& a, const QPointF& b, double tolerance) {
    EXPECT_NEAR(a.x(), b.x(), tolerance);
    EXPECT_NEAR(a.y(), b.y(), tolerance);
}

} // namespace

TEST(TrendPlot, BandMeanLimitsReadingsAndMarksSitAtTheirValues) {
    const struct {
        const char* what;
        QRectF area;
        double unit;
    } cases[] = {
        {"the window", QRectF(0, 0, 760, 480), 1},
        {"a page at 768 dpi, moved", QRectF(300, 200, 6080, 3840), 8},
    };
    const TrendPlotData data = judged();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingPlotCanvas canvas;
        const TrendPlotFrame frame = drawTrendPlot(canvas, data, c.area, c.unit);
        const QRectF& plot = frame.plotArea;
        EXPECT_TRUE(c.area.contains(plot));
        EXPECT_GT(plot.width(), c.area.width() / 2);
        EXPECT_GT(plot.height(), c.area.height() / 2);
        // The value axis holds readings, band and limits.
        EXPECT_LE(frame.yLow, 11);
        EXPECT_GE(frame.yHigh, 14.5);
        const auto y = [&](double value) { return frame.map({1, value}).y(); };
        EXPECT_DOUBLE_EQ(frame.map({1, frame.yLow}).y(), plot.bottom());
        EXPECT_DOUBLE_EQ(frame.map({5, frame.yHigh}).x(), plot.right());

        const std::vector<PlotCall> band = canvas.drawn(PlotCall::Rect, TrendColours::band);
        ASSERT_EQ(band.size(), 2u); // the band and the legend's swatch
        EXPECT_DOUBLE_EQ(band[0].box.top(), y(12.9 + 1.3));
        EXPECT_DOUBLE_EQ(band[0].box.bottom(), y(12.9 - 1.3));
        EXPECT_DOUBLE_EQ(band[0].box.left(), plot.left());
        EXPECT_DOUBLE_EQ(band[0].box.right(), plot.right());
        EXPECT_EQ(band[0].clip, plot);

        const std::vector<PlotCall> mean = canvas.drawn(PlotCall::Polyline, TrendColours::mean);
        ASSERT_FALSE(mean.empty());
        EXPECT_EQ(mean[0].points,
                  (QList<QPointF>{{plot.left(), y(12.9)}, {plot.right(), y(12.9)}}));

        const std::vector<PlotCall> limits = canvas.drawn(PlotCall::Polyline, TrendColours::limit);
        ASSERT_EQ(limits.size(), 4u); // two lines, two swatches
        for (int k = 0; k < 2; ++k) {
            EXPECT_EQ(limits[k].penStyle, Qt::DashLine);
            EXPECT_DOUBLE_EQ(limits[k].points.at(0).y(), y(k == 0 ? 12 : 14));
            EXPECT_EQ(limits[k].bounds().width(), plot.width());
        }

        const std::vector<PlotCall> line = canvas.drawn(PlotCall::Polyline, TrendColours::readings);
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line[0].points.size(), data.readings.size());
        for (qsizetype k = 0; k < data.readings.size(); ++k) {
            EXPECT_EQ(line[0].points[k], frame.map(data.readings[k]));
        }
        EXPECT_EQ(canvas.drawn(PlotCall::Circle, TrendColours::readings).size(), 5u);
        EXPECT_EQ(canvas.drawn(PlotCall::Circle, TrendColours::sampleMeans).size(), 3u);

        // A triangle centred on each outside reading, pointing up above the upper limit and
        // down below the lower one; the legend's mark points up.
        const std::vector<PlotCall> marks = canvas.drawn(PlotCall::Polygon, TrendColours::outside);
        ASSERT_EQ(marks.size(), 3u);
        for (int k = 0; k < 2; ++k) {
            const QPointF at = frame.map(data.outside[k]);
            expectNear(marks[k].bounds().center(), at, 1e-9);
            EXPECT_NEAR(marks[k].bounds().width(), 11 * c.unit, 1e-9);
            const bool pointsUp = marks[k].points[0].y() < at.y();
            EXPECT_EQ(pointsUp, k == 0);
            EXPECT_EQ(marks[k].clip, plot);
        }
    }
}

TEST(TrendPlot, TicksCarryTheirLabelsOnBothAxes) {
    const QDateTime nine(QDate(2026, 12, 9), QTime(9, 0, 0));
    const auto ms = [&](int seconds) {
        return static_cast<double>(nine.addSecs(seconds).toMSecsSinceEpoch());
    };
    const struct {
        PlotAxis axis;
        double first, last;
        QStringList xLabels;
        QString xTitle;
    } cases[] = {
        {PlotAxis::Reading, 1, 5, {"1", "2", "3", "4", "5"}, "Reading"},
        {PlotAxis::Reading,
         1,
         100,
         {"10", "20", "30", "40", "50", "60", "70", "80", "90", "100"},
         "Reading"},
        {PlotAxis::Time,
         ms(-30),
         ms(540),
         {"09:00:00", "09:02:00", "09:04:00", "09:06:00", "09:08:00"},
         "Time"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xLabels.join(' ').toStdString());
        TrendPlotData data = judged();
        data.axis = c.axis;
        data.firstX = c.first;
        data.lastX = c.last;
        RecordingPlotCanvas canvas;
        const TrendPlotFrame frame = drawTrendPlot(canvas, data, QRectF(0, 0, 760, 480), 1);
        // Each label centred under its tick, in the order of the axis.
        QStringList shown;
        for (const PlotCall& call : canvas.calls) {
            if (call.kind == PlotCall::Text && call.box.top() > frame.plotArea.bottom() &&
                call.text != c.xTitle && call.box.bottom() < frame.plotArea.bottom() + 30) {
                shown.append(call.text);
            }
        }
        ASSERT_EQ(shown, c.xLabels);
        ASSERT_NE(canvas.text(c.xTitle), nullptr);
        // The value axis: 10 to 15, each label left of the plot, level with its tick.
        for (const char* value : {"10", "12", "15"}) {
            const auto label =
                std::find_if(canvas.calls.begin(), canvas.calls.end(), [&](auto& call) {
                    return call.text == value && call.box.right() < frame.plotArea.left();
                });
            ASSERT_NE(label, canvas.calls.end()) << value;
            EXPECT_DOUBLE_EQ(label->box.center().y(), frame.map({0, std::stod(value)}).y());
        }
    }
    // Ticks apart by less than one carry decimals, with the user's decimal comma.
    TrendPlotData small;
    small.readings = {{1, 0.2}, {2, 0.9}};
    small.mean = 0.55;
    small.decimalPoint = QLatin1Char(',');
    RecordingPlotCanvas canvas;
    drawTrendPlot(canvas, small, QRectF(0, 0, 760, 480), 1);
    for (const char* value : {"0,0", "0,2", "0,4", "0,6", "0,8", "1,0"}) {
        EXPECT_NE(canvas.text(value), nullptr) << value;
    }
}

TEST(TrendPlot, TheMarkUnderThePointerIsTheNearestWithinItsSize) {
    const TrendPlotData data = judged();
    RecordingPlotCanvas canvas;
    const TrendPlotFrame frame = drawTrendPlot(canvas, data, QRectF(0, 0, 760, 480), 1);
    const QPointF above = frame.map(data.outside[0]);
    const QPointF below = frame.map(data.outside[1]);
    const struct {
        QPointF at;
        std::optional<qsizetype> mark;
    } cases[] = {
        {above, 0},
        {below + QPointF(-5, 5), 1},
        {above + QPointF(0, 7), std::nullopt},
        {frame.map(data.readings[2]), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(outsideMarkAt(data, frame, c.at), c.mark) << c.at.x() << ", " << c.at.y();
    }
}

} // namespace zt40::test

