// What the trend shows, gathered as plain numbers for the plot: the readings of the list from
// its statistics, mean and deviation, the limits, the readings outside them and the sample
// means of the judgement, on the axis chosen. The window keeps one and brings it up to date as
// the list grows; the report makes one of its own.
#pragma once

#include "TrendPlot.h"

#include <cstddef>
#include <vector>

namespace zt40 {

class MeasurementJudgement;
class MeasurementListModel;
class MeasurementStatistics;

// The plot's texts in a language.
TrendPlotTexts trendPlotTexts(int language);

class TrendData {
public:
    TrendData(const MeasurementListModel& list, MeasurementStatistics& statistics);

    // The limits, the readings outside them and the sample means; none without.
    void setJudgement(const MeasurementJudgement* judgement) { judgement_ = judgement; }
    void setAxis(PlotAxis axis);
    PlotAxis axis() const { return plot_.axis; }
    void setSampleMeans(bool shown) { sampleMeans_ = shown; }
    // A deletion renumbers the readings after it: the next update takes every reading again;
    // otherwise it adds only the rows after those it took.
    void renumbered() { all_ = true; }

    // Brings the data up to the list as it is now, with the texts of the language.
    const TrendPlotData& update(int language, char separator);
    const TrendPlotData& plot() const { return plot_; }

    // Numeric readings of the list. Of a long list the plot takes only the lowest and the
    // highest of each slice of reading numbers, so it may hold fewer points.
    qsizetype readingCount() const;

private:
    // The times of the rows not read yet; NaN for a row whose time cannot be read.
    void readTimes(std::size_t rows);
    // Points placed on the horizontal axis in use: reading numbers become times of day.
    QList<QPointF> placed(QList<QPointF> points) const;
    void updateJudgement();
    void updateSummary();

    const MeasurementListModel& list_;
    MeasurementStatistics& statistics_;
    const MeasurementJudgement* judgement_ = nullptr;
    bool sampleMeans_ = false;
    bool all_ = true;
    std::size_t takenRows_ = 0;
    std::vector<double> times_; // ms since the epoch of each row read so far
    double earliest_ = 0;
    double latest_ = 0;
    TrendPlotData plot_;
};

} // namespace zt40
