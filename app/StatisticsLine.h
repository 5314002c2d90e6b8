// The statistics line under the measurement list: n, mean, standard deviation, minimum,
// maximum and range in the active language, numbers with the user's decimal separator;
// minimum, maximum and range with the decimals the readings carry, mean and deviation with
// one more.
#pragma once

#include <string>

namespace zt40 {

class MeasurementStatistics;

// Windows-1252 text of the line. A figure that does not exist (the mean of no values, the
// deviation of one) is shown as a dash.
std::string statisticsLineText(const MeasurementStatistics& statistics, int language,
                               char decimalSeparator);

} // namespace zt40
