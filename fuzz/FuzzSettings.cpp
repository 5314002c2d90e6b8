// Arbitrary bytes as the settings file zt40.ini: reading the language never fails and gives a
// language the program has (or English), and writing the language back changes nothing but
// the one key line (or adds it, with its section), whatever else the file holds.
#include "FuzzCheck.h"
#include "Languages.h"
#include "ProfileFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zt40::fuzz {
namespace {

bool isLanguageKeyLine(std::string_view line) {
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
        return false;
    }
    std::string key;
    for (const char c : line.substr(0, eq)) {
        if (c != ' ' && c != '\t' && c != '\r') {
            key.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
        }
    }
    return key == "language";
}

// The line of `content` around byte `at`, without its line break.
std::string_view lineAround(std::string_view content, std::size_t at) {
    const std::size_t lf = at == 0 ? std::string_view::npos : content.rfind('\n', at - 1);
    const std::size_t begin = lf == std::string_view::npos ? 0 : lf + 1;
    const std::size_t end = std::min(content.find('\n', at), content.size());
    return content.substr(begin, end - begin);
}

int testOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);

    // What the main window does at start-up.
    const auto value = profileValue(content, "Config", "Language");
    const int number = value ? profileInteger(*value).value_or(LanguageEnglish) : LanguageEnglish;
    const int language = languageTable(number) != nullptr ? number : LanguageEnglish;
    FUZZ_CHECK(language >= LanguageEnglish && language <= LanguageFrench);

    // What the language dialog writes back.
    const int chosen = static_cast<int>(size % 3);
    const std::string written = std::to_string(chosen);
    const std::string updated = profileWithValue(content, "Config", "Language", written);
    FUZZ_CHECK(profileValue(updated, "Config", "Language") == written);
    FUZZ_CHECK(profileWithValue(updated, "Config", "Language", written) == updated);

    // Every byte outside the one key line stays: the bytes that differ lie in one place, the
    // old side holds no line break there, and if it holds anything it was a Language line.
    std::size_t prefix = 0;
    while (prefix < content.size() && prefix < updated.size() &&
           content[prefix] == updated[prefix]) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < content.size() - prefix && suffix < updated.size() - prefix &&
           content[content.size() - 1 - suffix] == updated[updated.size() - 1 - suffix]) {
        ++suffix;
    }
    const std::string_view removed = content.substr(prefix, content.size() - prefix - suffix);
    FUZZ_CHECK(removed.find('\n') == std::string_view::npos);
    if (!removed.empty()) {
        FUZZ_CHECK(value.has_value());
        FUZZ_CHECK(isLanguageKeyLine(lineAround(content, prefix)));
    }
    FUZZ_CHECK(updated.size() >= content.size() - removed.size());
    return 0;
}

} // namespace
} // namespace zt40::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return zt40::fuzz::testOneInput(data, size);
}
