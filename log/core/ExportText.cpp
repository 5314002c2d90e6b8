#include "ExportText.h"

#include "Cp1252.h"

#include <charconv>

namespace zt40 {

void ExportLineList::clear() {
    text_.clear();
    lines_ = 0;
    firstField_ = true;
}

void ExportLineList::reserve(std::size_t lines, std::size_t bytes) {
    text_.reserve(bytes + 2 * lines);
}

QString ExportLineList::unicodeText() const {
    return platform::fromCp1252(text_);
}

void ExportLineList::beginLine() {
    firstField_ = true;
}

void ExportLineList::addField(std::string_view field) {
    if (!firstField_) {
        text_.push_back('\t');
    }
    firstField_ = false;
    // A line break inside a text would split its row in two: it goes out as a blank. A tab
    // goes out as it is, like every other character.
    const std::size_t start = text_.size();
    text_.append(field);
    for (std::size_t i = start; i < text_.size(); ++i) {
        if (text_[i] == '\r' || text_[i] == '\n') {
            text_[i] = ' ';
        }
    }
}

void ExportLineList::addNumberField(unsigned long long number) {
    char digits[24];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), number);
    addField(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

void ExportLineList::endLine() {
    ++lines_;
    text_.append("\r\n");
}

void addHeaderLine(ExportLineList& lines, const ColumnTexts& titles) {
    lines.beginLine();
    lines.addField({});
    for (const auto& title : titles) {
        lines.addField(title);
    }
    lines.endLine();
}

void addRowLine(ExportLineList& lines, unsigned long long number,
                const std::array<std::string_view, ColumnCount>& texts) {
    lines.beginLine();
    lines.addNumberField(number);
    for (const std::string_view text : texts) {
        lines.addField(text);
    }
    lines.endLine();
}

void buildExportLines(ExportLineList& lines, const MeasurementListModel& model,
                      const ColumnTexts& titles) {
    lines.clear();
    const auto rows = static_cast<std::size_t>(model.count());
    std::size_t titleBytes = 0;
    for (const auto& title : titles) {
        titleBytes += title.size();
    }
    // Per row: up to ten digits of its number and five tabs besides its texts.
    lines.reserve(rows + 1, titleBytes + 5 + model.textBytes() + rows * 15);
    addHeaderLine(lines, titles);
    for (int i = 0; i < model.count(); ++i) {
        addRowLine(lines, static_cast<unsigned long long>(i) + 1,
                   {model.text(i, ColDate), model.text(i, ColTime), model.text(i, ColMode),
                    model.text(i, ColValue), model.text(i, ColComment)});
    }
}

} // namespace zt40
