// The measurement list: the item store of the main window's list control ListView1.
// There is no second copy of the rows; export and printing read them back from here.
//
// Each row holds five Windows-1252 texts (date, time, mode, value, comment), kept in one
// shared buffer so that a million rows stay small, and its value read as a number once, when
// it is appended, for everything that counts or judges the readings. The model is read-only
// for views, has five columns and is never sorted.
#pragma once

#include <QAbstractTableModel>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zt40 {

enum MeasurementColumn { ColDate = 0, ColTime, ColMode, ColValue, ColComment, ColumnCount };

// Five texts in column order: column captions, export and print titles.
using ColumnTexts = std::array<std::string, ColumnCount>;

// Leading and trailing blanks and control characters removed.
std::string_view trimBlanksAndControls(std::string_view text);

// A value text read as a number: an optional sign, digits, at most one decimal separator
// (comma or point, whichever the text carries) and nothing else. `decimals` counts the digits
// after the separator. A text that is no number (an overflow mark, a colon) is counted apart
// by the statistics and gets no verdict.
struct ValueNumber {
    double value = 0;
    int decimals = 0;
};
std::optional<ValueNumber> parseValueText(std::string_view text);

class MeasurementListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit MeasurementListModel(QObject* parent = nullptr);

    // Appends one row at the end. Date and time are stored as given; mode, value and comment
    // lose their leading and trailing blanks and control characters.
    void appendRow(std::string_view date, std::string_view time, std::string_view mode,
                   std::string_view value, std::string_view comment);
    // Out-of-range rows are ignored.
    void removeRowAt(int row);
    void clearRows();
    // Stores the comment exactly as given (an edited comment keeps its blanks).
    void setComment(int row, std::string_view comment);

    int count() const { return static_cast<int>(rows_.size()); }
    // Bytes of all texts of all rows together, so an export can size its buffer at once.
    std::size_t textBytes() const { return texts_.size() - holeBytes_; }
    // One text of a row, Windows-1252; empty for a row or column out of range.
    std::string_view text(int row, int column) const;
    // The row's value as a number, read when the row was appended; none for a value that is no
    // number or a row out of range.
    std::optional<ValueNumber> number(int row) const;

    // Counts appended rows and changed comments. An export that succeeded marks the count it
    // was made at; rows added or changed after it are unexported.
    std::uint64_t changeMark() const { return changes_; }
    void markExported(std::uint64_t mark);
    bool hasUnexported() const { return count() > 0 && changes_ > exportedAt_; }

    // Column captions (Windows-1252), replaced whenever a language is applied.
    void setColumnCaptions(const ColumnTexts& captions);
    const std::string& columnCaption(int column) const { return captions_.at(column); }

    // Column widths in pixels and alignments, as the list control shows them.
    static int columnWidth(int column);
    static Qt::Alignment columnAlignment(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The list's own changes, announced after the item-model signals the view follows.
    // Watchers (journal, statistics, trend) use these instead of re-deriving them.
    void rowAppended(int row);
    void rowRemoved(int row);
    void rowsCleared();
    void commentChanged(int row);

private:
    // All row texts live one after the other in one buffer, so an append costs no allocation
    // of its own. Deleted or replaced rows leave holes that are squeezed out once they
    // outweigh the texts still in use.
    struct Row {
        std::size_t start = 0;                         // offset of the date in texts_
        double number = 0;                             // the value, when it is one
        std::array<std::uint32_t, ColumnCount> ends{}; // end of each text, from start
        std::int8_t decimals = NoNumber;               // of the value; NoNumber: none
    };
    static constexpr std::int8_t NoNumber = -1;
    void appendTexts(Row& row, const std::array<std::string_view, ColumnCount>& texts);
    bool overlapsTexts(std::string_view text) const;
    void squeezeHoles();
    std::vector<Row> rows_;
    std::string texts_;
    std::size_t holeBytes_ = 0;
    std::uint64_t changes_ = 0;
    std::uint64_t exportedAt_ = 0;
    ColumnTexts captions_{"Date", "Time", "Mode", "Value", "Comment"};
};

} // namespace zt40
