// The statistics line under the measurement list: n, mean, standard deviation, minimum,
// maximum and range in the active language, numbers with the user's decimal separator;
// minimum, maximum and range with the decimals the readings carry, mean and deviation with
// one more.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zt40 {

class MeasurementStatistics;

// Windows-1252 text of a figure with `decimals` digits after the separator; a dash for one that
// does not exist (none, or not finite).
std::string statisticFigure(std::optional<double> value, int decimals, char decimalSeparator);

// Windows-1252 items of the line in the order shown. A figure that does not exist (the mean of
// no values, the deviation of one) is shown as a dash.
std::vector<std::string> statisticsLineItems(const MeasurementStatistics& statistics, int language,
                                             char decimalSeparator);
// Items joined into one line with the gap the line sets between them.
std::string joinedStatisticsItems(const std::vector<std::string>& items);
// The joined items of statisticsLineItems.
std::string statisticsLineText(const MeasurementStatistics& statistics, int language,
                               char decimalSeparator);

} // namespace zt40
