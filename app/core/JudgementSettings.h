// The limits and the readings per sample, kept in the settings file in sections of their own
// ([Limits], [Samples]) beside the language; the rest of the file stays as it is. Numbers are
// written with a full stop whatever the regional settings, so a file reads the same
// everywhere.
#pragma once

#include "Judgement.h"
#include "Outcome.h"

#include <optional>
#include <string>

namespace zt40 {

struct JudgementSettings {
    LimitSettings limits;
    int sampleSize = 0; // readings per sample, 0 for none
    bool operator==(const JudgementSettings&) const = default;
};

// A value of the [Limits] section that cannot be read, as the file holds it.
struct UnreadableSetting {
    std::string key;
    std::string value;
};

// What the file holds; anything missing is off. Words are read in any letter case and numbers
// with a full stop or a comma, as a person editing the file may write them. Limits with a value
// that still cannot be read, or that would be refused on entry, are switched off (their numbers
// are kept); the first value that cannot be read is given in `unreadable`.
JudgementSettings readJudgementSettings(const std::string& path,
                                        std::optional<UnreadableSetting>* unreadable = nullptr);
// Both sections in one rewrite of the file; a failure names the file and the reason.
Outcome writeJudgementSettings(const std::string& path, const JudgementSettings& settings);

} // namespace zt40
