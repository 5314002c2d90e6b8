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

// An empty or missing value is none; one that is no number with either separator makes the
// limits unusable.
std::optional<double> readNumber(std::string_view content, const char* key,
                                 std::optional<UnreadableSetting>& unreadable) {
    const auto text = profileValue(content, LimitsSection, key);
    if (!text || text->empty()) {
        return std::nullopt;
    }
    auto value = parseDecimalText(*text, '.');
    if (!value) {
        value = parseDecimalText(*text, ',');
    }
    if (!value && !unreadable) {
        unreadable = UnreadableSetting{key, *text};
    }
    return value;
}

std::string numberText(const std::optional<double>& value) {
    return value ? decimalText(*value, '.') : std::string();
}

} // namespace

JudgementSettings readJudgementSettings(const std::string& path,
                                        std::optional<UnreadableSetting>* unreadableOut) {
    // One read of the file for all the keys.
    const std::string content = ProfileFile(path).ReadContent().value_or("");
    JudgementSettings settings;
    std::optional<UnreadableSetting> unreadable;
    const std::string kind = profileValue(content, LimitsSection, "Kind").value_or("");
    bool known = kind.empty();
    for (const KindName& k : KindNames) {
        if (equalsNoCase(kind, k.name)) {
            settings.limits.kind = k.kind;
            known = true;
        }
    }
    if (!known) {
        unreadable = UnreadableSetting{"Kind", kind};
    }
    settings.limits.lower = readNumber(content, "Lower", unreadable);
    settings.limits.upper = readNumber(content, "Upper", unreadable);
    settings.limits.nominal = readNumber(content, "Nominal", unreadable);
    settings.limits.tolerance = readNumber(content, "Tolerance", unreadable);
    if (unreadableOut != nullptr) {
        *unreadableOut = unreadable;
    }
    if (unreadable || checkLimits(settings.limits) != LimitProblem::None) {
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
