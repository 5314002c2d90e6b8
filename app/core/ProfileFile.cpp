#include "ProfileFile.h"

#include "AtomicFile.h"

#include <QFile>

#include <charconv>
#include <filesystem>
#include <vector>

namespace zt40 {

namespace {

struct Line {
    std::size_t begin; // first byte of the line
    std::size_t end;   // end of its text, before CR LF or LF
    std::size_t next;  // first byte of the following line
};

std::vector<Line> splitLines(std::string_view content) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t lf = content.find('\n', pos);
        std::size_t next = lf == std::string_view::npos ? content.size() : lf + 1;
        std::size_t end = lf == std::string_view::npos ? content.size() : lf;
        if (end > pos && content[end - 1] == '\r') {
            --end;
        }
        lines.push_back({pos, end, next});
        pos = next;
    }
    return lines;
}

std::string_view trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The name of a section header line, or nothing when the line is none.
std::optional<std::string_view> sectionName(std::string_view line) {
    line = trim(line);
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return trim(line.substr(1, close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> keyLine(std::string_view line) {
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
        return std::nullopt;
    }
    return KeyLine{trim(line.substr(0, eq)), trim(line.substr(eq + 1))};
}

// Where a section and a key sit in the content.
struct Location {
    std::optional<std::size_t> sectionLine; // index of the header line
    std::optional<std::size_t> keyLine;     // index of the key line
    std::size_t lastLineOfSection = 0;      // last non-blank line of the section
};

Location locate(std::string_view content, const std::vector<Line>& lines, std::string_view section,
                std::string_view key) {
    Location where;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view text = content.substr(lines[i].begin, lines[i].end - lines[i].begin);
        if (const auto name = sectionName(text)) {
            if (where.sectionLine) {
                break; // the first section of that name is the one that counts
            }
            if (equalsNoCase(*name, section)) {
                where.sectionLine = i;
                where.lastLineOfSection = i;
            }
            continue;
        }
        if (!where.sectionLine) {
            continue;
        }
        if (!trim(text).empty()) {
            where.lastLineOfSection = i;
        }
        if (!where.keyLine) {
            if (const auto kv = keyLine(text); kv && equalsNoCase(kv->key, key)) {
                where.keyLine = i;
            }
        }
    }
    return where;
}

// Ends the last line of the text before a new line goes after it. A lone CR at the end
// gets its LF: read back, the CR alone would not end the line, and the new line would
// become part of the last one.
void endLastLine(std::string& text) {
    if (text.empty() || text.back() == '\n') {
        return;
    }
    text.append(text.back() == '\r' ? "\n" : "\r\n");
}

std::string readWholeFile(const std::string& path, bool& ok) {
    QFile file(QString::fromStdString(path));
    ok = file.open(QIODevice::ReadOnly);
    if (!ok) {
        return {};
    }
    const QByteArray bytes = file.readAll();
    ok = file.error() == QFileDevice::NoError;
    return ok ? bytes.toStdString() : std::string();
}

} // namespace

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> profileValue(std::string_view content, std::string_view section,
                                        std::string_view key) {
    const auto lines = splitLines(content);
    const Location where = locate(content, lines, section, key);
    if (!where.keyLine) {
        return std::nullopt;
    }
    const Line& line = lines[*where.keyLine];
    std::string_view value = keyLine(content.substr(line.begin, line.end - line.begin))->value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

std::string profileWithValue(std::string_view content, std::string_view section,
                             std::string_view key, std::string_view value) {
    const auto lines = splitLines(content);
    const Location where = locate(content, lines, section, key);
    const std::string keyText = std::string(key) + "=" + std::string(value);
    std::string result;

    if (where.keyLine) {
        const Line& line = lines[*where.keyLine];
        result.append(content.substr(0, line.begin));
        result.append(keyText);
        result.append(content.substr(line.end));
        return result;
    }
    if (where.sectionLine) {
        const Line& last = lines[where.lastLineOfSection];
        result.append(content.substr(0, last.next));
        endLastLine(result); // the section may end the file without a line break
        result.append(keyText).append("\r\n");
        result.append(content.substr(last.next));
        return result;
    }
    result.append(content);
    endLastLine(result);
    result.append("[").append(section).append("]\r\n").append(keyText).append("\r\n");
    return result;
}

std::optional<int> profileInteger(std::string_view text) {
    text = trim(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    int number = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(first, last, number);
    if (text.empty() || ec != std::errc() || ptr != last) {
        return std::nullopt;
    }
    return number;
}

std::optional<std::string> ProfileFile::ReadContent() const {
    bool ok = false;
    std::string content = readWholeFile(path_, ok);
    if (!ok) {
        return std::nullopt;
    }
    return content;
}

int ProfileFile::ReadInteger(std::string_view section, std::string_view key, int fallback) const {
    const auto content = ReadContent();
    const auto value = content ? profileValue(*content, section, key) : std::nullopt;
    if (!value) {
        return fallback;
    }
    return profileInteger(*value).value_or(fallback);
}

Outcome ProfileFile::WriteValues(const std::vector<Value>& values) const {
    bool ok = false;
    const std::string content = readWholeFile(path_, ok);
    const QString path = QString::fromStdString(path_);
    std::error_code error;
    if (!ok && std::filesystem::exists(path_, error) &&
        !std::filesystem::is_directory(path_, error)) {
        // Never replace a file whose other content we could not read.
        return Outcome::failed(QStringLiteral("Cannot read file \"%1\".").arg(path));
    }
    std::string updated = content;
    for (const Value& value : values) {
        updated = profileWithValue(updated, value.section, value.key, value.text);
    }
    return platform::writeFileAtomically(path, updated);
}

Outcome ProfileFile::WriteInteger(std::string_view section, std::string_view key, int value) const {
    return WriteValues({{std::string(section), std::string(key), std::to_string(value)}});
}

} // namespace zt40
