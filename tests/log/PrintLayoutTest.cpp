#include "PrintLayout.h"
#include "QPainterCanvas.h"
#include "TestEnvironment.h"

#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <cmath>
#include <cstddef>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace zt40::test {

namespace {

// Writes down every call, one line each, at a given resolution.
class RecordingCanvas : public PrintCanvas {
public:
    RecordingCanvas(int dpiX, int dpiY) : dpiX_(dpiX), dpiY_(dpiY) {}

    std::vector<std::string> calls;
    bool failBegin = false;
    int failNewPage = 0; // fail the n-th new page (1-based), 0 never

    bool beginDocument(const QString& name) override {
        calls.push_back("begin " + name.toStdString());
        return !failBegin;
    }
    bool newPage() override {
        calls.emplace_back("newPage");
        return ++pages_ != failNewPage;
    }
    bool endDocument() override {
        calls.emplace_back("end");
        return true;
    }
    QString errorText() const override { return failBegin ? "no printer" : ""; }
    int horizontalResolution() const override { return dpiX_; }
    int verticalResolution() const override { return dpiY_; }
    void setFontName(std::string_view family) override {
        calls.push_back("font " + std::string(family));
    }
    void setFontSize(int points) override { calls.push_back("size " + std::to_string(points)); }
    void setFontBold(bool bold) override { calls.emplace_back(bold ? "bold" : "regular"); }
    void setTextAlign(TextAlign align) override {
        calls.emplace_back(align == TextAlign::Left ? "left" : "right");
    }
    void textOut(int x, int y, std::string_view text) override {
        calls.push_back(std::to_string(x) + "," + std::to_string(y) + " " + std::string(text));
    }

    // The drawn texts alone, with the alignment and font size in force for each.
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        std::string align = "left", size = "?";
        for (const auto& c : calls) {
            if (c == "left" || c == "right") {
                align = c;
            } else if (c.rfind("size ", 0) == 0) {
                size = c.substr(5);
            } else if (!c.empty() && std::isdigit(static_cast<unsigned char>(c[0]))) {
                out.push_back(c + " [" + align + " " + size + "]");
            }
        }
        return out;
    }

private:
    int dpiX_, dpiY_;
    int pages_ = 0;
};

const ColumnTexts kEnglish{"Date", "Time", "Mode", "Value", "Comment"};
const ColumnTexts kGerman{"Datum", "Zeit", "Modus", "Wert", "Kommentar"};

void fill(MeasurementListModel& model, int rows) {
    for (int i = 1; i <= rows; ++i) {
        model.appendRow("08.12.2026", "12:00:" + std::to_string(i % 60), "LCD",
                        std::to_string(i) + ",5", "c" + std::to_string(i));
    }
}

std::ptrdiff_t countOf(const std::vector<std::string>& calls, const std::string& call) {
    return std::count(calls.begin(), calls.end(), call);
}

} // namespace

TEST(PrintLayout, MillimetresBecomeTruncatedDeviceUnits) {
    EXPECT_EQ(mmToDeviceUnits(10, 600), 236);
    EXPECT_EQ(mmToDeviceUnits(15, 600), 354);
    EXPECT_EQ(mmToDeviceUnits(280, 600), 6614);
    EXPECT_EQ(mmToDeviceUnits(0, 600), 0);
    // Whole results stay whole although 1/25.4 has no exact binary form.
    EXPECT_EQ(mmToDeviceUnits(25.4, 600), 600);
    EXPECT_EQ(mmToDeviceUnits(127, 300), 1500);
    EXPECT_EQ(mmToDeviceUnits(254, 72), 720);
    EXPECT_EQ(mmToDeviceUnits(10, 72), 28);
    EXPECT_EQ(mmToDeviceUnits(-10, 600), -236);
    EXPECT_EQ(mmToDeviceUnits(1e300, 600), std::numeric_limits<int>::max());
    EXPECT_EQ(mmToDeviceUnits(std::nan(""), 600), std::numeric_limits<int>::max());
}

TEST(PrintLayout, TextAtMmUsesEachAxisItsOwnResolution) {
    RecordingCanvas canvas(1200, 600);
    textAtMm(canvas, {1200, 600}, "x", 10, 10);
    textAtMm(canvas, {1200, 600}, "y", 190, 280);
    EXPECT_EQ(canvas.calls, (std::vector<std::string>{"472,236 x", "8976,6614 y"}));
}

TEST(PrintLayout, PageLabelByLanguage) {
    EXPECT_EQ(pageLabel(0, 1), "Page 1");
    EXPECT_EQ(pageLabel(1, 2), "Seite 2");
    EXPECT_EQ(pageLabel(2, 10), "Page 10");
    EXPECT_EQ(pageLabel(3, 1), "Page 1");
    EXPECT_EQ(pageLabel(-1, 1), "Page 1");
}

TEST(PrintLayout, OneRowAt600Dpi) {
    MeasurementListModel model;
    model.appendRow("08.12.2026", "23:21:47", "L D", "12,5", "Probe \xE4");
    RecordingCanvas canvas(600, 600);
    const Outcome result = drawMeasurementList(canvas, model, kEnglish, 0);
    EXPECT_TRUE(result.ok());
    const std::vector<std::string> expected{
        "begin ZT40 Printjob",
        // header block
        "font Arial", "size 10", "bold", "236,236 TARVELON MIRELANTA ZT40", "right",
        "4488,6614 Page 1", "regular", "left", "font Arial", "size 8", "472,590 Date",
        "944,590 Time", "1417,590 Mode", "right", "2125,590 Value", "left", "2362,590 Comment",
        // row 1 at 30 mm
        "right", "354,708 1", "left", "472,708 08.12.2026", "944,708 23:21:47", "1417,708 L D",
        "right", "2125,708 12,5", "left", "2362,708 Probe \xE4",
        // the job
        "end"};
    EXPECT_EQ(canvas.calls, expected);
}

TEST(PrintLayout, EmptyListIsOneEmptyPage) {
    MeasurementListModel model;
    RecordingCanvas canvas(600, 600);
    EXPECT_TRUE(drawMeasurementList(canvas, model, kEnglish, 0).ok());
    EXPECT_EQ(canvas.calls, (std::vector<std::string>{"begin ZT40 Printjob", "end"}));
}

TEST(PrintLayout, FiftyRowsFillOnePageAndLeaveAnEmptySecondOne) {
    MeasurementListModel model;
    fill(model, 50);
    RecordingCanvas canvas(600, 600);
    ASSERT_TRUE(drawMeasurementList(canvas, model, kEnglish, 0).ok());
    EXPECT_EQ(countOf(canvas.calls, "newPage"), 1);
    EXPECT_EQ(countOf(canvas.calls, "4488,6614 Page 1"), 1);
    EXPECT_EQ(countOf(canvas.calls, "4488,6614 Page 2"), 0);
    const auto texts = canvas.texts();
    // Row 50 stands at 275 mm; the page ends right after its comment.
    EXPECT_NE(std::find(texts.begin(), texts.end(), "354,6496 50 [right 8]"), texts.end());
    ASSERT_GE(canvas.calls.size(), 3u);
    EXPECT_EQ(canvas.calls[canvas.calls.size() - 3], "2362,6496 c50");
    EXPECT_EQ(canvas.calls[canvas.calls.size() - 2], "newPage");
    EXPECT_EQ(canvas.calls.back(), "end");
}

TEST(PrintLayout, RowFiftyOneStartsPageTwoUnderANewHeaderBlock) {
    for (const auto& [language, label] : {std::pair{0, "Page 2"}, std::pair{1, "Seite 2"},
                                          std::pair{2, "Page 2"}, std::pair{5, "Page 2"}}) {
        MeasurementListModel model;
        fill(model, 51);
        RecordingCanvas canvas(600, 600);
        ASSERT_TRUE(
            drawMeasurementList(canvas, model, language == 1 ? kGerman : kEnglish, language).ok());
        const auto& calls = canvas.calls;
        const auto pageBreak = std::find(calls.begin(), calls.end(), "newPage");
        ASSERT_NE(pageBreak, calls.end());
        const std::vector<std::string> pageTwo(pageBreak + 1, calls.end());
        const std::string firstTitle = language == 1 ? "472,590 Datum" : "472,590 Date";
        const std::vector<std::string> expected{"font Arial", "size 10",
                                                "bold",       "236,236 TARVELON MIRELANTA ZT40",
                                                "right",      "4488,6614 " + std::string(label),
                                                "regular",    "left",
                                                "font Arial", "size 8",
                                                firstTitle};
        ASSERT_GT(pageTwo.size(), expected.size());
        EXPECT_EQ(std::vector<std::string>(pageTwo.begin(), pageTwo.begin() + 11), expected)
            << "language " << language;
        EXPECT_EQ(countOf(pageTwo, "354,708 51"), 1);
        EXPECT_EQ(countOf(pageTwo, "2362,708 c51"), 1);
        EXPECT_EQ(pageTwo.back(), "end");
        EXPECT_EQ(countOf(calls, "newPage"), 1);
    }
}

TEST(PrintLayout, GermanTitlesAndLabelsAlignedAsTheColumns) {
    MeasurementListModel model;
    model.appendRow("d", "t", "m", "7,25", "k");
    RecordingCanvas canvas(300, 300);
    ASSERT_TRUE(drawMeasurementList(canvas, model, kGerman, 1).ok());
    EXPECT_EQ(canvas.texts(),
              (std::vector<std::string>{
                  "118,118 TARVELON MIRELANTA ZT40 [left 10]", "2244,3307 Seite 1 [right 10]",
                  "236,295 Datum [left 8]", "472,295 Zeit [left 8]", "708,295 Modus [left 8]",
                  "1062,295 Wert [right 8]", "1181,295 Kommentar [left 8]", "177,354 1 [right 8]",
                  "236,354 d [left 8]", "472,354 t [left 8]", "708,354 m [left 8]",
                  "1062,354 7,25 [right 8]", "1181,354 k [left 8]"}));
}

TEST(PrintLayout, PrinterErrorsEndTheJobWithTheirText) {
    MeasurementListModel model;
    fill(model, 120);
    RecordingCanvas noPrinter(600, 600);
    noPrinter.failBegin = true;
    const Outcome refused = drawMeasurementList(noPrinter, model, kEnglish, 0);
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(refused.reason(), "no printer");
    EXPECT_EQ(noPrinter.calls, (std::vector<std::string>{"begin ZT40 Printjob"}));

    RecordingCanvas brokenPage(600, 600);
    brokenPage.failNewPage = 1;
    const Outcome broken = drawMeasurementList(brokenPage, model, kEnglish, 0);
    EXPECT_FALSE(broken.ok());
    EXPECT_FALSE(broken.reason().isEmpty());
    EXPECT_EQ(brokenPage.calls.back(), "newPage");
    EXPECT_EQ(countOf(brokenPage.calls, "354,708 51"), 0);
}

TEST(PrintLayout, RealPdfThroughQPrinter) {
    ZT40_SKIP_UNDER_WINE("Wine offers neither Arial nor Liberation Sans by those names, so the PDF "
                         "embeds another font");
    QTemporaryDir dir;
    const QString path = dir.filePath("list.pdf");
    MeasurementListModel model;
    fill(model, 51);
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        const Outcome result = printMeasurementListOn(printer, model, kEnglish, 0);
        ASSERT_TRUE(result.ok()) << result.reason().toStdString();
        EXPECT_EQ(printer.docName(), "ZT40 Printjob");
    }
    QFile pdf(path);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    // 50 rows on page 1, row 51 on page 2.
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") +
                  bytes.count("/Type /Page "),
              2);
    // "Arial" resolves to real fonts, regular and bold, embedded in the document.
    EXPECT_TRUE(bytes.contains("/FontFile2"));
    EXPECT_TRUE(bytes.contains("/BaseFont /LiberationSans\n") ||
                bytes.contains("/BaseFont /Arial"));
    EXPECT_TRUE(bytes.contains("/BaseFont /LiberationSans-Bold") ||
                bytes.contains("/BaseFont /Arial-Bold"));
    // The job's name is the document title, in UTF-16.
    QByteArray title("\xFE\xFF");
    for (const char c : std::string_view("ZT40 Printjob")) {
        title.append('\0').append(c);
    }
    EXPECT_TRUE(bytes.contains(title));
}

TEST(PrintLayout, PrinterThatCannotOpenItsOutputReportsIt) {
    MeasurementListModel model;
    fill(model, 1);
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName("/nonexistent-folder/list.pdf");
    const Outcome result = printMeasurementListOn(printer, model, kEnglish, 0);
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.reason().contains("/nonexistent-folder/list.pdf"));
}

} // namespace zt40::test
