#include "MeasurementListModel.h"

#include "Cp1252.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace zt40 {
namespace {

bool isBlankOrControl(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b <= 0x20 || b == 0x7F;
}

constexpr std::array<int, ColumnCount> kWidths{80, 80, 50, 80, 307};

bool validColumn(int column) {
    return column >= 0 && column < ColumnCount;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::string_view trimBlanksAndControls(std::string_view text) {
    while (!text.empty() && isBlankOrControl(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlankOrControl(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<ValueNumber> parseValueText(std::string_view text) {
    text = trimBlanksAndControls(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Digits with at most one separator, and at least one digit.
    std::string plain;
    plain.reserve(text.size());
    int digits = 0;
    int decimals = -1;
    for (const char c : text) {
        if (isDigit(c)) {
            ++digits;
            if (decimals >= 0) {
                ++decimals;
            }
            plain += c;
        } else if ((c == ',' || c == '.') && decimals < 0) {
            decimals = 0;
            plain += '.';
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (error != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return ValueNumber{negative ? -value : value, std::max(decimals, 0)};
}

MeasurementListModel::MeasurementListModel(QObject* parent) : QAbstractTableModel(parent) {}

bool MeasurementListModel::overlapsTexts(std::string_view text) const {
    const char* begin = texts_.data();
    return !text.empty() && text.data() >= begin && text.data() < begin + texts_.size();
}

void MeasurementListModel::appendTexts(Row& row,
                                       const std::array<std::string_view, ColumnCount>& texts) {
    // Texts taken from this list itself would move when the buffer grows: copy them first.
    for (const auto t : texts) {
        if (overlapsTexts(t)) {
            std::array<std::string, ColumnCount> copies;
            std::array<std::string_view, ColumnCount> views;
            for (std::size_t i = 0; i < texts.size(); ++i) {
                copies[i] = std::string(texts[i]);
                views[i] = copies[i];
            }
            appendTexts(row, views);
            return;
        }
    }
    row.start = texts_.size();
    std::uint32_t end = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts_.append(texts[i]);
        end += static_cast<std::uint32_t>(texts[i].size());
        row.ends[i] = end;
    }
}

void MeasurementListModel::squeezeHoles() {
    constexpr std::size_t kMinimumHoles = 64 * 1024;
    if (holeBytes_ < kMinimumHoles || holeBytes_ < texts_.size() / 2) {
        return;
    }
    std::string kept;
    kept.reserve(texts_.size() - holeBytes_);
    for (Row& r : rows_) {
        const std::size_t start = kept.size();
        kept.append(texts_, r.start, r.ends[ColComment]);
        r.start = start;
    }
    texts_ = std::move(kept);
    holeBytes_ = 0;
}

void MeasurementListModel::appendRow(std::string_view date, std::string_view time,
                                     std::string_view mode, std::string_view value,
                                     std::string_view comment) {
    Row row;
    value = trimBlanksAndControls(value);
    if (const auto number = parseValueText(value)) {
        row.number = number->value;
        row.decimals = static_cast<std::int8_t>(std::min(number->decimals, 127));
    }
    appendTexts(row,
                {date, time, trimBlanksAndControls(mode), value, trimBlanksAndControls(comment)});
    const int at = count();
    beginInsertRows({}, at, at);
    rows_.push_back(row);
    endInsertRows();
    ++changes_;
    emit rowAppended(at);
}

void MeasurementListModel::removeRowAt(int row) {
    if (row < 0 || row >= count()) {
        return;
    }
    beginRemoveRows({}, row, row);
    holeBytes_ += rows_[row].ends[ColComment];
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
    squeezeHoles();
    emit rowRemoved(row);
}

void MeasurementListModel::clearRows() {
    if (rows_.empty()) {
        return;
    }
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    texts_.clear();
    texts_.shrink_to_fit();
    holeBytes_ = 0;
    endResetModel();
    emit rowsCleared();
}

void MeasurementListModel::setComment(int row, std::string_view comment) {
    if (row < 0 || row >= count()) {
        return;
    }
    // The row moves to the end of the buffer with its new comment.
    Row& r = rows_[row];
    const std::string oldTexts = texts_.substr(r.start, r.ends[ColValue]);
    const std::string newComment(comment);
    holeBytes_ += r.ends[ColComment];
    const std::string_view old = oldTexts;
    appendTexts(r, {old.substr(0, r.ends[ColDate]),
                    old.substr(r.ends[ColDate], r.ends[ColTime] - r.ends[ColDate]),
                    old.substr(r.ends[ColTime], r.ends[ColMode] - r.ends[ColTime]),
                    old.substr(r.ends[ColMode], r.ends[ColValue] - r.ends[ColMode]), newComment});
    squeezeHoles();
    const QModelIndex changed = index(row, ColComment);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
    ++changes_;
    emit commentChanged(row);
}

std::optional<ValueNumber> MeasurementListModel::number(int row) const {
    if (row < 0 || row >= count() || rows_[row].decimals == NoNumber) {
        return std::nullopt;
    }
    return ValueNumber{rows_[row].number, rows_[row].decimals};
}

std::string_view MeasurementListModel::text(int row, int column) const {
    if (row < 0 || row >= count() || !validColumn(column)) {
        return {};
    }
    const Row& r = rows_[row];
    const std::size_t begin = column == 0 ? 0 : r.ends[column - 1];
    return std::string_view(texts_).substr(r.start + begin, r.ends[column] - begin);
}

void MeasurementListModel::markExported(std::uint64_t mark) {
    exportedAt_ = std::max(exportedAt_, std::min(mark, changes_));
}

void MeasurementListModel::setColumnCaptions(const ColumnTexts& captions) {
    captions_ = captions;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

int MeasurementListModel::columnWidth(int column) {
    return validColumn(column) ? kWidths[column] : 0;
}

Qt::Alignment MeasurementListModel::columnAlignment(int column) {
    switch (column) {
    case ColMode:
        return Qt::AlignHCenter;
    case ColValue:
        return Qt::AlignRight;
    default:
        return Qt::AlignLeft;
    }
}

int MeasurementListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

int MeasurementListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MeasurementListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return platform::fromCp1252(text(index.row(), index.column()));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(columnAlignment(index.column()) | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant MeasurementListModel::headerData(int section, Qt::Orientation orientation,
                                          int role) const {
    if (orientation != Qt::Horizontal || !validColumn(section)) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return platform::fromCp1252(captions_[section]);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(columnAlignment(section) | Qt::AlignVCenter);
    default:
        return {};
    }
}

Qt::ItemFlags MeasurementListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace zt40
