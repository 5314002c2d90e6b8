// What the statistics line under the list gains when limits or samples are set: how many
// readings lie within the limits, Cp and Cpk, and the mean and verdict of the current sample.
#pragma once

#include <string>
#include <vector>

namespace zt40 {

class MeasurementJudgement;
class RunningStatistics;
enum class Verdict;
struct VerdictTexts;

// Windows-1252 items in the order shown; none without limits and samples. `decimals` is the
// number of digits after the separator the line gives means.
std::vector<std::string> judgementLineItems(const MeasurementJudgement& judgement,
                                            const RunningStatistics& all, int decimals,
                                            int language, char separator);

// The verdict as a word; "" for none.
std::string verdictWord(Verdict verdict, int language);

} // namespace zt40
