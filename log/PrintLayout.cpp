#include "PrintLayout.h"

#include <cmath>
#include <limits>

namespace zt40 {
namespace {

constexpr char kHeaderLine[] = "TARVELON MIRELANTA ZT40";
constexpr char kFont[] = "Arial";

// Column positions in millimetres, with the alignment of each column.
struct ColumnPlace {
    double x;
    TextAlign align;
};
constexpr ColumnPlace kColumns[ColumnCount] = {{20, TextAlign::Left},
                                               {40, TextAlign::Left},
                                               {60, TextAlign::Left},
                                               {90, TextAlign::Right},
                                               {100, TextAlign::Left}};
constexpr double kNumberX = 15;
constexpr double kTitleY = 25;

double rowY(int i) {
    return 30 + 5 * (i % kRowsPerPage);
}

// The five texts of a line, each set with its own alignment. Alignment changes exactly where a
// column's alignment differs from the one before, so the printer is left aligned left.
template <typename TextOf>
void drawColumns(PrintCanvas& canvas, const PrintResolution& res, double y, TextAlign current,
                 TextOf textOf) {
    for (int c = 0; c < ColumnCount; ++c) {
        if (kColumns[c].align != current) {
            current = kColumns[c].align;
            canvas.setTextAlign(current);
        }
        textAtMm(canvas, res, textOf(c), kColumns[c].x, y);
    }
}

Outcome failed(const PrintCanvas& canvas, const char* fallback) {
    const QString text = canvas.errorText();
    return Outcome::failed(text.isEmpty() ? QString::fromLatin1(fallback) : text);
}

} // namespace

int mmToDeviceUnits(double mm, int dotsPerInch) {
    const long double exact = static_cast<long double>(mm) * (1.0L / 25.4L) * dotsPerInch;
    // Far outside any page: clamp rather than overflow.
    constexpr long double kLimit = std::numeric_limits<int>::max();
    if (!(std::fabs(exact) < kLimit)) {
        return exact < 0 ? -std::numeric_limits<int>::max() : std::numeric_limits<int>::max();
    }
    const long double whole = std::nearbyint(exact);
    // A product that is a whole number apart from rounding in the last bits stays that number.
    if (std::fabs(exact - whole) < 1e-9L * (1.0L + std::fabs(whole))) {
        return static_cast<int>(whole);
    }
    return static_cast<int>(std::trunc(exact));
}

void textAtMm(PrintCanvas& canvas, const PrintResolution& resolution, std::string_view text,
              double x, double y) {
    canvas.textOut(mmToDeviceUnits(x, resolution.horizontal),
                   mmToDeviceUnits(y, resolution.vertical), text);
}

std::string pageLabel(int language, int page) {
    return (language == 1 ? "Seite " : "Page ") + std::to_string(page);
}

Outcome drawMeasurementList(PrintCanvas& canvas, const MeasurementListModel& model,
                            const ColumnTexts& titles, int language) {
    int page = 1;
    if (!canvas.beginDocument(QString::fromLatin1(kPrintJobName))) {
        return failed(canvas, "The print job could not be started.");
    }
    const PrintResolution res{canvas.horizontalResolution(), canvas.verticalResolution()};

    for (int i = 0; i < model.count(); ++i) {
        if (i % kRowsPerPage == 0) {
            canvas.setFontName(kFont);
            canvas.setFontSize(10);
            canvas.setFontBold(true);
            textAtMm(canvas, res, kHeaderLine, 10, 10);
            canvas.setTextAlign(TextAlign::Right);
            textAtMm(canvas, res, pageLabel(language, page++), 190, 280);
            canvas.setFontBold(false);
            canvas.setTextAlign(TextAlign::Left);
            canvas.setFontName(kFont);
            canvas.setFontSize(8);
            drawColumns(canvas, res, kTitleY, TextAlign::Left,
                        [&](int c) { return std::string_view(titles[c]); });
        }
        const double y = rowY(i);
        canvas.setTextAlign(TextAlign::Right);
        textAtMm(canvas, res, std::to_string(i + 1), kNumberX, y);
        canvas.setTextAlign(TextAlign::Left);
        drawColumns(canvas, res, y, TextAlign::Left, [&](int c) { return model.text(i, c); });
        if ((i + 1) % kRowsPerPage == 0 && !canvas.newPage()) {
            return failed(canvas, "The printer could not start a new page.");
        }
    }
    if (!canvas.endDocument()) {
        return failed(canvas, "The print job could not be completed.");
    }
    return {};
}

} // namespace zt40
