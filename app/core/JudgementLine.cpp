#include "JudgementLine.h"

#include "Judgement.h"
#include "JudgementTexts.h"
#include "StatisticsLine.h"

namespace zt40 {

namespace {

constexpr int CapabilityDecimals = 2;

std::string filled(std::string text, const std::vector<std::string>& values) {
    for (std::size_t k = values.size(); k > 0; --k) {
        const std::string mark = "%" + std::to_string(k);
        if (const auto at = text.find(mark); at != std::string::npos) {
            text.replace(at, mark.size(), values[k - 1]);
        }
    }
    return text;
}

} // namespace

std::string verdictWord(Verdict verdict, int language) {
    const VerdictTexts& t = verdictTexts(language);
    switch (verdict) {
    case Verdict::Inside:
        return t.inside;
    case Verdict::Above:
        return t.above;
    case Verdict::Below:
        return t.below;
    case Verdict::None:
        break;
    }
    return {};
}

std::vector<std::string> judgementLineItems(const MeasurementJudgement& judgement,
                                            const RunningStatistics& all, int decimals,
                                            int language, char separator) {
    const VerdictTexts& t = verdictTexts(language);
    const Limits& limits = judgement.limits();
    std::vector<std::string> items;
    if (limits.any()) {
        const VerdictTally& tally = judgement.tally();
        items.push_back(
            filled(t.insideCount, {std::to_string(tally.inside), std::to_string(tally.judged())}));
        if (const auto cap = capability(all, limits)) {
            items.push_back(t.cp + statisticFigure(cap->cp, CapabilityDecimals, separator));
            items.push_back(t.cpk + statisticFigure(cap->cpk, CapabilityDecimals, separator));
        }
    }
    if (const auto sample = judgement.currentSample()) {
        const RunningStatistics& values = sample->values;
        std::string mean = statisticFigure(
            values.count() > 0 ? std::optional(values.mean()) : std::nullopt, decimals, separator);
        if (const std::string word = verdictWord(sample->verdict, language); !word.empty()) {
            mean += " " + word;
        }
        items.push_back(filled(t.sample, {std::to_string(sample->range.index + 1),
                                          std::to_string(sample->range.rows),
                                          std::to_string(judgement.sampleSize()), mean}));
    }
    return items;
}

} // namespace zt40
