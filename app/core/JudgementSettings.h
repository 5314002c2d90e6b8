// The limits and the readings per sample, kept in the settings file in sections of their own
// ([Limits], [Samples]) beside the language; the rest of the file stays as it is. Numbers are
// written with a full stop whatever the regional settings, so a file reads the same
// everywhere.
#pragma once

#include "Judgement.h"
#include "Outcome.h"

#include <string>

namespace zt40 {

struct JudgementSettings {
    LimitSettings limits;
    int sampleSize = 0; // readings per sample, 0 for none
    bool operator==(const JudgementSettings&) const = default;
};

// What the file holds; anything missing is off. Limits with a value that is no number, or that
// would be refused on entry, are switched off (their numbers are kept).
JudgementSettings readJudgementSettings(const std::string& path);
// Both sections in one rewrite of the file; a failure names the file and the reason.
Outcome writeJudgementSettings(const std::string& path, const JudgementSettings& settings);

} // namespace zt40
