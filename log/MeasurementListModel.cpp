#include "MeasurementListModel.h"

#include "Cp1252.h"

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

MeasurementListModel::MeasurementListModel(QObject* parent) : QAbstractTableModel(parent) {}

MeasurementListModel::Row
MeasurementListModel::makeRow(std::initializer_list<std::string_view> texts) {
    Row row;
    std::size_t total = 0;
    for (const auto t : texts) {
        total += t.size();
    }
    row.packed.reserve(total);
    std::size_t i = 0;
    for (const auto t : texts) {
        row.packed.append(t);
        if (i < row.ends.size()) {
            row.ends[i++] = static_cast<std::uint32_t>(row.packed.size());
        }
    }
    return row;
}

void MeasurementListModel::appendRow(std::string_view date, std::string_view time,
                                     std::string_view mode, std::string_view value,
                                     std::string_view comment) {
    Row row = makeRow({date, time, trimBlanksAndControls(mode), trimBlanksAndControls(value),
                       trimBlanksAndControls(comment)});
    const int at = count();
    beginInsertRows({}, at, at);
    textBytes_ += row.packed.size();
    rows_.push_back(std::move(row));
    endInsertRows();
}

void MeasurementListModel::removeRowAt(int row) {
    if (row < 0 || row >= count()) {
        return;
    }
    beginRemoveRows({}, row, row);
    textBytes_ -= rows_[row].packed.size();
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

void MeasurementListModel::clearRows() {
    if (rows_.empty()) {
        return;
    }
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    textBytes_ = 0;
    endResetModel();
}

void MeasurementListModel::setComment(int row, std::string_view comment) {
    if (row < 0 || row >= count()) {
        return;
    }
    Row& r = rows_[row];
    const std::uint32_t start = r.ends[ColValue];
    textBytes_ -= r.packed.size();
    r.packed.replace(start, std::string::npos, comment);
    textBytes_ += r.packed.size();
    const QModelIndex changed = index(row, ColComment);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

std::string_view MeasurementListModel::text(int row, int column) const {
    if (row < 0 || row >= count() || !validColumn(column)) {
        return {};
    }
    const Row& r = rows_[row];
    const std::string_view all = r.packed;
    const std::size_t begin = column == 0 ? 0 : r.ends[column - 1];
    const std::size_t end = column == ColComment ? all.size() : r.ends[column];
    return all.substr(begin, end - begin);
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
        return fromCp1252(text(index.row(), index.column()));
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
        return fromCp1252(captions_[section]);
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
