// Arbitrary row texts and comments through the list, the export and the Windows-1252
// conversion: the export has one line per row and the header, each ending in CR LF with no
// other CR or LF in it, five tabs between the fields besides the tabs the texts carry, and
// every text survives the way to Unicode and back byte for byte.
//
// Input: a stream of operations. Each starts with one byte: 0-5 append a row of five texts,
// 6 replace the comment of a row, 7 delete a row. Every text is a length byte (0-63)
// followed by that many bytes.
#include "Cp1252.h"
#include "ExportText.h"
#include "FuzzCheck.h"
#include "MeasurementListModel.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zt40::fuzz {
namespace {

bool roundTrips(std::string_view bytes) {
    return platform::toCp1252(platform::fromCp1252(bytes)) == bytes;
}

int testOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view raw(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(roundTrips(raw));
    FUZZ_CHECK(platform::fromCp1252(raw).size() == static_cast<qsizetype>(size));

    MeasurementListModel model;
    fuzz::Input in(data, size);
    while (in.more()) {
        const int op = in.byte() % 8;
        if (op < 6) {
            const std::string_view date = in.text(0x3F), time = in.text(0x3F), mode = in.text(0x3F);
            const std::string_view value = in.text(0x3F), comment = in.text(0x3F);
            model.appendRow(date, time, mode, value, comment);
        } else if (op == 6) {
            const int row = in.byte();
            model.setComment(row, in.text(0x3F));
        } else {
            model.removeRowAt(in.byte());
        }
    }

    const ColumnTexts titles{"Datum", "Zeit", "Modus", "Wert", "Kommentar"};
    ExportLineList lines;
    buildExportLines(lines, model, titles);
    const std::string& text = lines.text();
    FUZZ_CHECK(lines.size() == static_cast<std::size_t>(model.count()) + 1);
    FUZZ_CHECK(roundTrips(text));
    FUZZ_CHECK(platform::toCp1252(lines.unicodeText()) == text);

    // Line by line: no other line break, CR LF at the end, numbered from 1, five tabs between
    // the fields and the texts' own tabs besides.
    const auto tabsIn = [](std::string_view t) { return std::count(t.begin(), t.end(), '\t'); };
    std::size_t begin = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t end = text.find("\r\n", begin);
        FUZZ_CHECK(end != std::string::npos);
        const std::string_view line = std::string_view(text).substr(begin, end - begin);
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string_view::npos);
        std::ptrdiff_t textTabs = 0;
        for (int c = 0; c < ColumnCount; ++c) {
            textTabs += tabsIn(i == 0 ? std::string_view(titles[static_cast<std::size_t>(c)])
                                      : model.text(static_cast<int>(i) - 1, c));
        }
        FUZZ_CHECK(tabsIn(line) == 5 + textTabs);
        const std::string number = i == 0 ? std::string() : std::to_string(i);
        FUZZ_CHECK(line.substr(0, line.find('\t')) == number);
        begin = end + 2;
    }
    FUZZ_CHECK(begin == text.size());
    return 0;
}

} // namespace
} // namespace zt40::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return zt40::fuzz::testOneInput(data, size);
}
