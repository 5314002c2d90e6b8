// The export of the measurement list as tab-separated text: one header line that begins with
// a tab, then one line per row numbered from 1, its fields separated by one tab each, CR LF
// after every line. Texts go out unchanged, except that a CR or LF inside one becomes a blank.
#pragma once


#include "MeasurementListModel.h"

#include <QString>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace zt40 {

// The export line list: the lines of the last export, kept in one buffer that is already the
// joined text (every line followed by CR LF), so the text needs no second copy.
class ExportLineList {
public:
    void clear();
    // Room for this many lines and bytes of line text, so that building never reallocates.
    void reserve(std::size_t lines, std::size_t bytes);
    std::size_t size() const { return lines_; }
    bool empty() const { return lines_ == 0; }

    // The export text in Windows-1252, as a .dat file receives it (no byte-order mark).
    const std::string& text() const { return text_; }
    // The same text as Unicode, for the clipboard.
    QString unicodeText() const;

    // Starts a line in place: the caller appends its fields with addField, then ends it.
    void beginLine();
    void addField(std::string_view field);
    void addNumberField(unsigned long long number);
    void endLine();

private:
    std::string text_;
    std::size_t lines_ = 0;
    bool firstField_ = true;
};

// One line of the export appended to `lines`: the header (an empty field, then the five titles,
// Windows-1252), or a row (its 1-based number, then its five texts in column order).
void addHeaderLine(ExportLineList& lines, const ColumnTexts& titles);
void addRowLine(ExportLineList& lines, unsigned long long number,
                const std::array<std::string_view, ColumnCount>& texts);

// Empties the list and fills it with the header line (the five titles given, Windows-1252)
// and one line per row of the model, re-reading the row count before every row.
void buildExportLines(ExportLineList& lines, const MeasurementListModel& model,
                      const ColumnTexts& titles);

} // namespace zt40
