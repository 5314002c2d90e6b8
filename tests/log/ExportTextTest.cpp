#include "ExportText.h"

#include <gtest/gtest.h>

namespace zt40::test {

namespace {

const ColumnTexts kEnglish{"Date", "Time", "Mode", "Value", "Comment"};
const ColumnTexts kGerman{"Datum", "Zeit", "Modus", "Wert", "Kommentar"};

std::string exportOf(const MeasurementListModel& model, const ColumnTexts& titles) {
    ExportLineList lines;
    buildExportLines(lines, model, titles);
    return lines.text();
}

} // namespace

TEST(ExportText, EmptyListIsTheHeaderLineAlone) {
    MeasurementListModel model;
    EXPECT_EQ(exportOf(model, kEnglish), "\tDate\tTime\tMode\tValue\tComment\r\n");
    EXPECT_EQ(exportOf(model, kGerman), "\tDatum\tZeit\tModus\tWert\tKommentar\r\n");
}

TEST(ExportText, RowsAreNumberedFromOneWithFiveTabsAndCrLfEach) {
    MeasurementListModel model;
    model.appendRow("08.12.2026", "23:21:47", "L D", "12,5", "");
    EXPECT_EQ(exportOf(model, kEnglish), "\tDate\tTime\tMode\tValue\tComment\r\n"
                                         "1\t08.12.2026\t23:21:47\tL D\t12,5\t\r\n");

    model.appendRow("08.12.2026", "23:21:48", "LCD", "3,0", "Probe \xE4");
    model.appendRow("09.12.2026", "00:00:01", "", "100,0", "a\tb");
    EXPECT_EQ(exportOf(model, kGerman), "\tDatum\tZeit\tModus\tWert\tKommentar\r\n"
                                        "1\t08.12.2026\t23:21:47\tL D\t12,5\t\r\n"
                                        "2\t08.12.2026\t23:21:48\tLCD\t3,0\tProbe \xE4\r\n"
                                        "3\t09.12.2026\t00:00:01\t\t100,0\ta\tb\r\n");
}

TEST(ExportText, LineBreaksInsideATextGoOutAsBlanksSoNoRowIsSplit) {
    // Found by fuzzing: a comment or a value from the instrument holding a CR or LF split the
    // row in two. A tab stays as it is.
    MeasurementListModel model;
    model.appendRow("d\t1", "t\r1", "L\tD", "1\n2", "a\tb\r\nc");
    model.appendRow("d", "t", "m", "v", "x");
    model.setComment(1, "\r\n");
    EXPECT_EQ(exportOf(model, {"Da\tte", "Time", "Mode", "Value", "Com\r\nment"}),
              "\tDa\tte\tTime\tMode\tValue\tCom  ment\r\n"
              "1\td\t1\tt 1\tL\tD\t1 2\ta\tb  c\r\n"
              "2\td\tt\tm\tv\t  \r\n");
    // The list itself keeps the texts as they were given.
    EXPECT_EQ(model.text(0, ColComment), "a\tb\r\nc");
}

TEST(ExportText, NumbersArePositionsAtTheTimeOfTheExport) {
    MeasurementListModel model;
    model.appendRow("d1", "t1", "m", "1", "first");
    model.appendRow("d2", "t2", "m", "2", "second");
    model.appendRow("d3", "t3", "m", "3", "third");
    model.removeRowAt(1);
    EXPECT_EQ(exportOf(model, kEnglish), "\tDate\tTime\tMode\tValue\tComment\r\n"
                                         "1\td1\tt1\tm\t1\tfirst\r\n"
                                         "2\td3\tt3\tm\t3\tthird\r\n");
}

TEST(ExportText, EachExportReplacesTheLastAndClearEmptiesIt) {
    MeasurementListModel model;
    model.appendRow("d1", "t1", "m", "1", "");
    ExportLineList lines;
    buildExportLines(lines, model, kEnglish);
    buildExportLines(lines, model, kEnglish);
    EXPECT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines.text(), "\tDate\tTime\tMode\tValue\tComment\r\n1\td1\tt1\tm\t1\t\r\n");
    lines.clear();
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(lines.text(), "");
}

TEST(ExportText, ClipboardTextIsTheSameTextInUnicode) {
    MeasurementListModel model;
    model.appendRow("d", "t", "m", "v", "\xE4\x80\x84");
    ExportLineList lines;
    buildExportLines(lines, model, kEnglish);
    EXPECT_EQ(lines.unicodeText(),
              QString::fromUtf8("\tDate\tTime\tMode\tValue\tComment\r\n1\td\tt\tm\tv\tä€„\r\n"));
}

} // namespace zt40::test

