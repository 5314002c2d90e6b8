// The printout of the measurement list: a fixed layout in millimetres, 50 rows a page, a header
// block (maker and instrument line, page label, column titles) in front of each page's first row.
#pragma once

#include "MeasurementListModel.h"
#include "Outcome.h"
#include "PrintCanvas.h"

#include <string>
#include <string_view>

namespace zt40 {

inline constexpr char kPrintJobName[] = "ZT40 Printjob";
inline constexpr int kRowsPerPage = 50;

struct PrintResolution {
    int horizontal = 0; // dots per inch
    int vertical = 0;
};

// Millimetres to device units, truncated toward zero; a whole result stays whole.
// At 600 dpi 10 mm gives 236 and 15 mm gives 354.
int mmToDeviceUnits(double mm, int dotsPerInch);

// Draws the text at (x, y) millimetres with the canvas's current font and alignment.
void textAtMm(PrintCanvas& canvas, const PrintResolution& resolution, std::string_view text,
              double x, double y);

// "Seite <n>" for German (language 1), "Page <n>" for every other language number.
std::string pageLabel(int language, int page);

// Prints the whole list as one job: titles are the five column titles of the active language
// (Windows-1252). The row count is read anew before every row. A failure carries the printing
// system's text.
Outcome drawMeasurementList(PrintCanvas& canvas, const MeasurementListModel& model,
                            const ColumnTexts& titles, int language);

} // namespace zt40
