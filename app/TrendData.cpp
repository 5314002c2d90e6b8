#include "TrendData.h"

#include "Cp1252.h"
#include "Judgement.h"
#include "JudgementTexts.h"
#include "Languages.h"
#include "MeasurementListModel.h"
#include "MeasurementStatistics.h"
#include "RegionalSettings.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

namespace zt40 {

namespace {

// Above this many points the markers would hide the line and cost much to draw.
constexpr int MaxPointsWithMarkers = 200;
// Above this many readings the plot gets, for each of this many slices of the reading
// numbers, the lowest and the highest reading of the slice: the same picture at a few pixels
// per slice, drawn in a fraction of the time.
constexpr int MaxPointsDrawn = 4000;
constexpr int Slices = MaxPointsDrawn / 2;
constexpr double NoTime = std::numeric_limits<double>::quiet_NaN();

QString text(const char* cp1252) {
    return platform::fromCp1252(cp1252);
}

} // namespace

TrendPlotTexts trendPlotTexts(int language) {
    const TrendTexts& t = trendTexts(language);
    const VerdictTexts& v = verdictTexts(language);
    // The value axis is titled as the list's column.
    const LanguageTable* table = languageTable(language);
    const char* value =
        table != nullptr ? (*table)[static_cast<std::size_t>(Slot::FirstColumn + ColValue)] : "";
    return {text(t.title),
            text(t.readings),
            text(t.mean),
            text(t.band),
            text(v.lowerLine),
            text(v.upperLine),
            text(v.outside),
            text(v.sampleMeans),
            text(t.readingNumber),
            text(v.timeOfDay),
            text(value != nullptr ? value : "")};
}

TrendData::TrendData(const MeasurementListModel& list, MeasurementStatistics& statistics)
    : list_(list), statistics_(statistics) {
    // The plot draws the numbers the statistics read, not a second reading of its own.
    statistics.keepRowValues();
}

void TrendData::setAxis(PlotAxis axis) {
    if (axis != plot_.axis) {
        plot_.axis = axis;
        times_.clear();
        all_ = true;
    }
}

qsizetype TrendData::readingCount() const {
    return statistics_.values().count();
}

void TrendData::readTimes(std::size_t rows) {
    if (times_.size() > rows || times_.empty()) {
        times_.clear();
        earliest_ = std::numeric_limits<double>::infinity();
        latest_ = -std::numeric_limits<double>::infinity();
    }
    // Each row keeps the time it was taken as its date and time texts, in the formats of the
    // regional settings; rows brought back from the journal too.
    const QLocale locale = QLocale::system();
    for (std::size_t row = times_.size(); row < rows; ++row) {
        const int r = static_cast<int>(row);
        const QDateTime when =
            platform::dateTimeFromTexts(locale, list_.text(r, ColDate), list_.text(r, ColTime));
        const double ms = when.isValid() ? static_cast<double>(when.toMSecsSinceEpoch()) : NoTime;
        if (!std::isnan(ms)) {
            earliest_ = std::min(earliest_, ms);
            latest_ = std::max(latest_, ms);
        }
        times_.push_back(ms);
    }
}

QList<QPointF> TrendData::placed(QList<QPointF> points) const {
    if (plot_.axis == PlotAxis::Reading) {
        return points;
    }
    QList<QPointF> out;
    out.reserve(points.size());
    for (const QPointF& p : points) {
        const auto row = static_cast<std::size_t>(p.x()) - 1;
        if (row < times_.size() && !std::isnan(times_[row])) {
            out.append(QPointF(times_[row], p.y()));
        }
    }
    return out;
}

const TrendPlotData& TrendData::update(int language, char separator) {
    plot_.texts = trendPlotTexts(language);
    plot_.decimalPoint = QLatin1Char(separator);
    // The statistics have read every value already; the plot takes their numbers.
    const std::vector<double>& values = statistics_.rowValues();
    if (plot_.axis == PlotAxis::Time) {
        if (all_) {
            times_.clear();
        }
        readTimes(values.size());
    }
    if (readingCount() > MaxPointsDrawn) {
        plot_.readings = placed(slicedExtremes(values, Slices));
    } else if (all_ || takenRows_ > values.size()) {
        plot_.readings = placed(readingPoints(values));
    } else if (takenRows_ < values.size()) {
        plot_.readings.append(placed(readingPoints(values, takenRows_)));
    }
    takenRows_ = values.size();
    all_ = false;
    plot_.markers = readingCount() <= MaxPointsWithMarkers;
    updateSummary();
    updateJudgement();
    return plot_;
}

void TrendData::updateSummary() {
    plot_.firstX = 1;
    plot_.lastX = std::max(list_.count(), 2);
    if (plot_.axis == PlotAxis::Time) {
        const bool any = earliest_ <= latest_;
        const double now = static_cast<double>(QDateTime::currentMSecsSinceEpoch());
        plot_.firstX = any ? earliest_ : now;
        plot_.lastX = any ? latest_ : now;
        // A single moment gets a minute either side.
        if (plot_.lastX - plot_.firstX < 1000) {
            plot_.firstX -= 60000;
            plot_.lastX += 60000;
        }
    }
    const RunningStatistics& v = statistics_.values();
    plot_.mean = v.count() == 0 ? std::nullopt : std::optional(v.mean());
    plot_.deviation = v.count() == 0 ? std::nullopt : v.standardDeviation();
}

void TrendData::updateJudgement() {
    const Limits limits = judgement_ != nullptr ? judgement_->limits() : Limits{};
    plot_.lower = limits.lower;
    plot_.upper = limits.upper;

    const std::vector<double>& values = statistics_.rowValues();
    QList<QPointF> marks;
    if (limits.any()) {
        for (std::size_t row = 0; row < values.size(); ++row) {
            const double v = values[row];
            const Verdict verdict = std::isnan(v) ? Verdict::None : judge(v, limits);
            if (verdict == Verdict::Above || verdict == Verdict::Below) {
                marks.append(QPointF(static_cast<double>(row + 1), v));
            }
        }
    }
    if (marks.size() > MaxPointsDrawn) {
        // Of very many, evenly spread ones: the picture stays the same, the drawing quick.
        QList<QPointF> thinned;
        const qsizetype step = (marks.size() + MaxPointsDrawn - 1) / MaxPointsDrawn;
        for (qsizetype k = 0; k < marks.size(); k += step) {
            thinned.append(marks[k]);
        }
        marks = thinned;
    }
    plot_.outside = placed(marks);

    // A sample's mean, as the judgement groups the samples, sits at its middle reading or at
    // the time of its last.
    QList<QPointF> means;
    const int size = judgement_ != nullptr ? judgement_->sampleSize() : 0;
    if (size != 0 && sampleMeans_) {
        for (const SampleSummary& sample : summariseSamples(list_, size, limits)) {
            if (sample.values.count() == 0) {
                continue;
            }
            const int first = sample.range.first;
            const int end = first + sample.range.rows;
            const double x = plot_.axis == PlotAxis::Reading
                                 ? (static_cast<double>(first + end) + 1) / 2
                                 : static_cast<double>(end);
            means.append(QPointF(x, sample.values.mean()));
        }
    }
    plot_.sampleMeans = plot_.axis == PlotAxis::Reading ? means : placed(means);
}

} // namespace zt40
