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
std::optional<double> readNumber(const ProfileFile& file, const char* key, bool& damaged) {
    const auto text = file.ReadString(LimitsSection, key);
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
    const ProfileFile file(path);
    JudgementSettings settings;
    const std::string kind = file.ReadString(LimitsSection, "Kind").value_or("");
    for (const KindName& k : KindNames) {
        if (kind == k.name) {
            settings.limits.kind = k.kind;
        }
    }
    bool damaged = false;
    settings.limits.lower = readNumber(file, "Lower", damaged);
    settings.limits.upper = readNumber(file, "Upper", damaged);
    settings.limits.nominal = readNumber(file, "Nominal", damaged);
    settings.limits.tolerance = readNumber(file, "Tolerance", damaged);
    if (damaged || checkLimits(settings.limits) != LimitProblem::None) {
        settings.limits.kind = LimitKind::Off;
    }
    settings.sampleSize = validSampleSize(file.ReadInteger(SamplesSection, "ReadingsPerSample", 0));
    return settings;
}

void writeJudgementSettings(const std::string& path, const JudgementSettings& settings) {
    const ProfileFile file(path);
    const LimitSettings& limits = settings.limits;
    std::string kind = "Off";
    for (const KindName& k : KindNames) {
        if (limits.kind == k.kind) {
            kind = k.name;
        }
    }
    file.WriteStrings(LimitsSection, {{"Kind", kind},
                                      {"Lower", numberText(limits.lower)},
                                      {"Upper", numberText(limits.upper)},
                                      {"Nominal", numberText(limits.nominal)},
                                      {"Tolerance", numberText(limits.tolerance)}});
    file.WriteInteger(SamplesSection, "ReadingsPerSample", validSampleSize(settings.sampleSize));
}

} // namespace zt40
