#include "StatisticsLine.h"

#include "Languages.h"
#include "MeasurementStatistics.h"

namespace zt40 {

namespace {

constexpr const char* Dash = "\x96"; // en dash
constexpr const char* Gap = "    ";

} // namespace

std::string statisticFigure(std::optional<double> value, int decimals, char decimalSeparator) {
    const std::string text = value ? formatStatistic(*value, decimals, decimalSeparator) : "";
    return text.empty() ? std::string(Dash) : text;
}

std::vector<std::string> statisticsLineItems(const MeasurementStatistics& statistics, int language,
                                             char decimalSeparator) {
    const StatisticsTexts& t = statisticsTexts(language);
    const RunningStatistics& v = statistics.values();
    // Minimum, maximum and range are readings or differences of readings: their own decimals.
    // Mean and deviation get one more.
    const int own = statistics.decimals();
    const bool any = v.count() > 0;
    const auto figure = [&](double value, int decimals) {
        return statisticFigure(any ? std::optional(value) : std::nullopt, decimals,
                               decimalSeparator);
    };

    std::vector<std::string> items{
        t.count + std::to_string(v.count()),
        // As a spreadsheet rounds the mean of the exported list.
        t.mean +
            (any ? v.exactMeanText(own + 1, decimalSeparator).value_or(figure(v.mean(), own + 1))
                 : figure(0, own + 1)),
        t.deviation + statisticFigure(v.standardDeviation(), own + 1, decimalSeparator),
        t.minimum + figure(v.minimum(), own),
        t.maximum + figure(v.maximum(), own),
        t.range + figure(v.maximum() - v.minimum(), own),
    };
    if (statistics.nonNumeric() == 1) {
        items.emplace_back(t.nonNumericOne);
    } else if (statistics.nonNumeric() > 1) {
        std::string many = t.nonNumericMany;
        many.replace(many.find("%1"), 2, std::to_string(statistics.nonNumeric()));
        items.push_back(std::move(many));
    }
    return items;
}

std::string joinedStatisticsItems(const std::vector<std::string>& items) {
    std::string line;
    for (const std::string& item : items) {
        line += (line.empty() ? "" : Gap) + item;
    }
    return line;
}

std::string statisticsLineText(const MeasurementStatistics& statistics, int language,
                               char decimalSeparator) {
    return joinedStatisticsItems(statisticsLineItems(statistics, language, decimalSeparator));
}

} // namespace zt40
