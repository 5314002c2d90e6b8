#include "MeasurementJournal.h"

#include "FileSync.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <zlib.h>

namespace zt40 {
namespace {

constexpr char KindAppend = 'A';
constexpr char KindComment = 'C';
constexpr char KindDelete = 'D';
constexpr char KindClear = 'X';
constexpr std::string_view LineEnd = "\r\n";
constexpr std::size_t CrcDigits = 8;
constexpr char HexDigits[] = "0123456789abcdef";

std::uint32_t crcOf(std::string_view bytes) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

void appendEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            if (b < 0x20 || b == 0x7F) {
                out += "\\x";
                out += HexDigits[b >> 4];
                out += HexDigits[b & 0xF];
            } else {
                out += c;
            }
        }
    }
}

void appendRecordTo(std::string& out, char kind, std::initializer_list<std::string_view> fields) {
    const std::size_t start = out.size();
    out += kind;
    for (const std::string_view field : fields) {
        out += '\t';
        appendEscaped(out, field);
    }
    std::uint32_t crc = crcOf(std::string_view(out).substr(start));
    out += '\t';
    char digits[CrcDigits];
    for (std::size_t i = CrcDigits; i-- > 0; crc >>= 4) {
        digits[i] = HexDigits[crc & 0xF];
    }
    out.append(digits, CrcDigits);
    out += LineEnd;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool unescape(std::string_view field, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < field.size(); ++i) {
        const auto b = static_cast<unsigned char>(field[i]);
        if (b < 0x20 || b == 0x7F) {
            return false; // the writer never leaves a control byte bare
        }
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        if (++i == field.size()) {
            return false;
        }
        switch (field[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case 'x': {
            if (i + 2 >= field.size()) {
                return false;
            }
            const int high = hexValue(field[i + 1]);
            const int low = hexValue(field[i + 2]);
            if (high < 0 || low < 0) {
                return false;
            }
            out += static_cast<char>(high * 16 + low);
            i += 2;
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

// A row index as written: decimal digits, no sign, no leading zeros, below `count`.
bool parseRow(std::string_view text, std::size_t count, std::size_t& row) {
    if (text.empty() || text.size() > 10 || (text.size() > 1 && text.front() == '0')) {
        return false;
    }
    unsigned long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value >= count) {
        return false;
    }
    row = static_cast<std::size_t>(value);
    return true;
}

bool checkCrc(std::string_view payload, std::string_view digits) {
    if (digits.size() != CrcDigits) {
        return false;
    }
    std::uint32_t crc = 0;
    for (const char c : digits) {
        const int v = hexValue(c);
        if (v < 0 || (c >= 'A' && c <= 'F')) {
            return false;
        }
        crc = crc << 4 | static_cast<std::uint32_t>(v);
    }
    return crc == crcOf(payload);
}

// Applies one line (without its LF) to the rows; false when it is not a valid record.
bool applyRecord(std::string_view line, std::vector<JournalRow>& rows) {
    if (line.empty() || line.back() != '\r') {
        return false;
    }
    line.remove_suffix(1);
    const std::size_t crcTab = line.rfind('\t');
    if (crcTab == std::string_view::npos ||
        !checkCrc(line.substr(0, crcTab), line.substr(crcTab + 1))) {
        return false;
    }
    const std::string_view payload = line.substr(0, crcTab);
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = payload.find('\t', start);
        fields.push_back(payload.substr(start, tab - start));
        if (tab == std::string_view::npos) {
            break;
        }
        start = tab + 1;
    }
    if (fields[0].size() != 1) {
        return false;
    }
    std::size_t row = 0;
    switch (fields[0][0]) {
    case KindAppend: {
        if (fields.size() != 1 + ColumnCount) {
            return false;
        }
        JournalRow texts;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (!unescape(fields[i + 1], texts[i])) {
                return false;
            }
        }
        rows.push_back(std::move(texts));
        return true;
    }
    case KindComment: {
        std::string comment;
        if (fields.size() != 3 || !parseRow(fields[1], rows.size(), row) ||
            !unescape(fields[2], comment)) {
            return false;
        }
        rows[row][ColComment] = std::move(comment);
        return true;
    }
    case KindDelete:
        if (fields.size() != 2 || !parseRow(fields[1], rows.size(), row)) {
            return false;
        }
        rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(row));
        return true;
    case KindClear:
        if (fields.size() != 1) {
            return false;
        }
        rows.clear();
        return true;
    default:
        return false;
    }
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

std::string journalHeader() {
    std::string header(JournalMagic);
    header += '\t';
    header += std::to_string(JournalVersion);
    header += LineEnd;
    return header;
}

std::string journalRecord(char kind, std::initializer_list<std::string_view> fields) {
    std::string line;
    appendRecordTo(line, kind, fields);
    return line;
}

JournalContents readJournal(std::string_view bytes) {
    JournalContents contents;
    if (bytes.empty()) {
        return contents;
    }
    const std::string header = journalHeader();
    const std::size_t headerEnd = bytes.find('\n');
    if (headerEnd == std::string_view::npos) {
        // A header cut short by the first write is a journal that never got a record.
        contents.status = std::string_view(header).starts_with(bytes) ? JournalStatus::TornEnd
                                                                      : JournalStatus::NotAJournal;
        return contents;
    }
    const std::string_view first = bytes.substr(0, headerEnd + 1);
    if (first != header) {
        const std::string magic = std::string(JournalMagic) + '\t';
        contents.status =
            first.starts_with(magic) ? JournalStatus::UnknownVersion : JournalStatus::NotAJournal;
        return contents;
    }
    contents.status = JournalStatus::Complete;
    std::size_t pos = headerEnd + 1;
    contents.goodBytes = pos;
    while (pos < bytes.size()) {
        const std::size_t end = bytes.find('\n', pos);
        if (end == std::string_view::npos) {
            contents.status = JournalStatus::TornEnd;
            break;
        }
        if (!applyRecord(bytes.substr(pos, end - pos), contents.rows)) {
            // Every record is written whole with its line end, so a whole line that fails its
            // check is damage, also the last one.
            contents.status = JournalStatus::Damaged;
            break;
        }
        pos = end + 1;
        contents.goodBytes = pos;
    }
    return contents;
}

MeasurementJournal::MeasurementJournal(MeasurementListModel& model, QObject* parent)
    : QObject(parent), model_(model) {}

MeasurementJournal::~MeasurementJournal() {
    stop();
}

Outcome MeasurementJournal::start(const QString& path, std::size_t keepBytes) {
    stop();
    path_ = path;
    error_.clear();
    file_.setFileName(path);
    const bool fresh = keepBytes == 0;
    const QIODevice::OpenMode mode =
        fresh ? QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered
              : QIODevice::ReadWrite | QIODevice::Unbuffered;
    if (!file_.open(mode)) {
        fail(file_.errorString());
        return Outcome::failed(error_);
    }
    if (fresh) {
        if (!writeAndSync(journalHeader())) {
            return Outcome::failed(error_);
        }
    } else if (!file_.resize(static_cast<qint64>(keepBytes)) ||
               !file_.seek(static_cast<qint64>(keepBytes)) || !platform::syncData(file_)) {
        // Cut back to the good records: a torn last line must not swallow the next record.
        fail(file_.errorString());
        return Outcome::failed(error_);
    }
    platform::syncFolder(path);

    const MeasurementListModel* m = &model_;
    connections_ = {
        connect(m, &MeasurementListModel::rowAppended, this, &MeasurementJournal::rowAppended),
        connect(m, &MeasurementListModel::commentChanged, this,
                &MeasurementJournal::commentChanged),
        connect(m, &MeasurementListModel::rowRemoved, this, &MeasurementJournal::rowRemoved),
        connect(m, &MeasurementListModel::rowsCleared, this, &MeasurementJournal::rowsCleared),
    };
    return {};
}

void MeasurementJournal::stop() {
    for (const auto& connection : connections_) {
        disconnect(connection);
    }
    connections_.clear();
    if (file_.isOpen()) {
        file_.close();
    }
}

void MeasurementJournal::discard() {
    stop();
    if (!path_.isEmpty()) {
        if (QFile::remove(path_)) {
            platform::syncFolder(path_);
        }
        path_.clear();
    }
}

void MeasurementJournal::fail(const QString& reason) {
    stop();
    error_ = reason;
    emit failed(reason);
}

bool MeasurementJournal::writeAndSync(std::string_view bytes) {
    const auto size = static_cast<qint64>(bytes.size());
    errno = 0;
    if (file_.write(bytes.data(), size) != size) {
        // The system's own reason ("No space left on device"), which the file's error text
        // does not carry.
        fail(errno != 0 ? systemError() : file_.errorString());
        return false;
    }
    if (!platform::syncData(file_)) {
        fail(systemError());
        return false;
    }
    return true;
}

void MeasurementJournal::addRecord(char kind, std::initializer_list<std::string_view> fields) {
    if (!file_.isOpen()) {
        return;
    }
    line_.clear();
    appendRecordTo(line_, kind, fields);
    writeAndSync(line_);
}

void MeasurementJournal::rowAppended(int row) {
    addRecord(KindAppend,
              {model_.text(row, ColDate), model_.text(row, ColTime), model_.text(row, ColMode),
               model_.text(row, ColValue), model_.text(row, ColComment)});
}

void MeasurementJournal::commentChanged(int row) {
    addRecord(KindComment, {std::to_string(row), model_.text(row, ColComment)});
}

void MeasurementJournal::rowRemoved(int row) {
    addRecord(KindDelete, {std::to_string(row)});
}

void MeasurementJournal::rowsCleared() {
    addRecord(KindClear, {});
}

} // namespace zt40
