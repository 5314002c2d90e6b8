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

std::optional<double> readNumber(const ProfileFile& file, const char* key) {
    const auto text = file.ReadString(LimitsSection, key);
    return text ? parseDecimalText(*text, '.') : std::nullopt;
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
    settings.limits.lower = readNumber(file, "Lower");
    settings.limits.upper = readNumber(file, "Upper");
    settings.limits.nominal = readNumber(file, "Nominal");
    settings.limits.tolerance = readNumber(file, "Tolerance");
    if (checkLimits(settings.limits) != LimitProblem::None) {
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
