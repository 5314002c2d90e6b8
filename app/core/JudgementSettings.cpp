#include "JudgementSettings.h"

#include "ProfileFile.h"

namespace zt40 {

namespace {

constexpr const char* LimitsSection = "Limits";
constexpr const char* SamplesSection = "Samples";

struct KindName {
    LimitKind kind;
    const char* name;
};
constexpr KindName KindNames[] = {
    {LimitKind::Off, "Off"}, {LimitKind::Bounds, "Bounds"}, {LimitKind::Nominal, "Nominal"}};

// An empty or missing value is none; one that is no number makes the limits unusable.
std::optional<double> readNumber(std::string_view content, const char* key, bool& damaged) {
    const auto text = profileValue(content, LimitsSection, key);
    if (!text || text->empty()) {
        return std::nullopt;
    }
    const auto value = parseDecimalText(*text, '.');
    damaged = damaged || !value;
    return value;
}

std::string numberText(const std::optional<double>& value) {
    return value ? decimalText(*value, '.') : std::string();
}

} // namespace

JudgementSettings readJudgementSettings(const std::string& path) {
    // One read of the file for all the keys.
    const std::string content = ProfileFile(path).ReadContent().value_or("");
    JudgementSettings settings;
    const std::string kind = profileValue(content, LimitsSection, "Kind").value_or("");
    for (const KindName& k : KindNames) {
        if (kind == k.name) {
            settings.limits.kind = k.kind;
        }
    }
    bool damaged = false;
    settings.limits.lower = readNumber(content, "Lower", damaged);
    settings.limits.upper = readNumber(content, "Upper", damaged);
    settings.limits.nominal = readNumber(content, "Nominal", damaged);
    settings.limits.tolerance = readNumber(content, "Tolerance", damaged);
    if (damaged || checkLimits(settings.limits) != LimitProblem::None) {
        settings.limits.kind = LimitKind::Off;
    }
    const auto samples = profileValue(content, SamplesSection, "ReadingsPerSample");
    settings.sampleSize = validSampleSize(samples ? profileInteger(*samples).value_or(0) : 0);
    return settings;
}

Outcome writeJudgementSettings(const std::string& path, const JudgementSettings& settings) {
    const LimitSettings& limits = settings.limits;
    std::string kind = "Off";
    for (const KindName& k : KindNames) {
        if (limits.kind == k.kind) {
            kind = k.name;
        }
    }
    return ProfileFile(path).WriteValues(
        {{LimitsSection, "Kind", kind},
         {LimitsSection, "Lower", numberText(limits.lower)},
         {LimitsSection, "Upper", numberText(limits.upper)},
         {LimitsSection, "Nominal", numberText(limits.nominal)},
         {LimitsSection, "Tolerance", numberText(limits.tolerance)},
         {SamplesSection, "ReadingsPerSample",
          std::to_string(validSampleSize(settings.sampleSize))}});
}

} // namespace zt40
