// Our own reader and writer of Windows profile (ini) files, with the behaviour of the
// system's profile functions: sections and keys matched without regard to case, values
// trimmed of blanks and of one pair of enclosing quotes, everything else in the file left
// byte for byte as it was, new lines written with CR LF, a missing file created.
#pragma once

#include "Outcome.h"

#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zt40 {

// Whether two names are the same in any letter case (ASCII), as the file's names are matched.
bool equalsNoCase(std::string_view a, std::string_view b);

// The value of `key` in `section` of the file content, or nothing when either is missing.
std::optional<std::string> profileValue(std::string_view content, std::string_view section,
                                        std::string_view key);

// The file content with `key` in `section` set to `value`: an existing key line is replaced,
// a new key goes after the last line of its section, a new section at the end of the file.
std::string profileWithValue(std::string_view content, std::string_view section,
                             std::string_view key, std::string_view value);

// A decimal integer with optional sign, blanks around it allowed; nothing for anything else.
std::optional<int> profileInteger(std::string_view text);

// One settings file, opened by path for one access and released right after it.
class ProfileFile {
public:
    explicit ProfileFile(std::string path) : path_(std::move(path)) {}

    // A missing or unreadable file, section or key, or a value that is no integer,
    // gives `fallback`.
    int ReadInteger(std::string_view section, std::string_view key, int fallback) const;

    // Rewrites the file by atomic replace. A failure names the file and the system's reason;
    // the old file then stays as it was.
    Outcome WriteInteger(std::string_view section, std::string_view key, int value) const;

    // The whole file, or nothing when it is missing or unreadable: several keys read with
    // profileValue from it cost one read.
    std::optional<std::string> ReadContent() const;
    // Sets several keys, of one section or several, in one rewrite with the same guarantees.
    struct Value {
        std::string section;
        std::string key;
        std::string text;
    };
    Outcome WriteValues(const std::vector<Value>& values) const;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace zt40
