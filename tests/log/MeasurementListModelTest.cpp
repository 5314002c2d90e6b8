#include "MeasurementListModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

namespace zt40::test {

namespace {

struct ListFixture : ::testing::Test {
    MeasurementListModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};

    std::vector<std::string> rowTexts(int row) const {
        std::vector<std::string> texts;
        for (int c = 0; c < ColumnCount; ++c) {
            texts.emplace_back(model.text(row, c));
        }
        return texts;
    }
    // The model's running byte count must match its texts (an export sizes its buffer by it).
    std::size_t summedTextBytes() const {
        std::size_t sum = 0;
        for (int r = 0; r < model.count(); ++r) {
            for (int c = 0; c < ColumnCount; ++c) {
                sum += model.text(r, c).size();
            }
        }
        return sum;
    }
};

using Texts = std::vector<std::string>;

} // namespace

TEST_F(ListFixture, AppendTrimsModeValueAndCommentButKeepsDateAndTime) {
    model.appendRow(" 08.12.2026", "23:21:47 ", "  L D \t", "\x01  12,5\r\n", "\t note \x7F");
    ASSERT_EQ(model.count(), 1);
    EXPECT_EQ(rowTexts(0), (Texts{" 08.12.2026", "23:21:47 ", "L D", "12,5", "note"}));
}

TEST_F(ListFixture, RowsKeepTheirOrderOfArrivalAndAllFiveTexts) {
    model.appendRow("d1", "t1", "LCD", "1,0", "");
    model.appendRow("d2", "t2", "", "", "");
    model.appendRow("d3", "t3", "C", "3,0", "third \xE4");
    EXPECT_EQ(rowTexts(0), (Texts{"d1", "t1", "LCD", "1,0", ""}));
    EXPECT_EQ(rowTexts(1), (Texts{"d2", "t2", "", "", ""}));
    EXPECT_EQ(rowTexts(2), (Texts{"d3", "t3", "C", "3,0", "third \xE4"}));
    EXPECT_EQ(model.data(model.index(2, ColComment)).toString(), QString::fromUtf8("third ä"));
    EXPECT_EQ(model.text(3, ColDate), "");
    EXPECT_EQ(model.text(0, 5), "");
    EXPECT_EQ(model.text(-1, 0), "");
}

TEST_F(ListFixture, AppendAnnouncesOneRowAtTheEnd) {
    model.appendRow("a", "b", "c", "d", "e");
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.appendRow("a", "b", "c", "d", "e");
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted.at(0).at(1).toInt(), 1);
    EXPECT_EQ(inserted.at(0).at(2).toInt(), 1);
}

TEST_F(ListFixture, RemovingARowKeepsTheOthersInOrder) {
    for (const char* d : {"1", "2", "3"}) {
        model.appendRow(d, "t", "m", "v", "c");
    }
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    model.removeRowAt(1);
    ASSERT_EQ(model.count(), 2);
    EXPECT_EQ(model.text(0, ColDate), "1");
    EXPECT_EQ(model.text(1, ColDate), "3");
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed.at(0).at(1).toInt(), 1);

    model.removeRowAt(2);
    model.removeRowAt(-1);
    EXPECT_EQ(model.count(), 2);
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(model.textBytes(), summedTextBytes());
}

TEST_F(ListFixture, ClearEmptiesTheList) {
    model.appendRow("1", "t", "m", "v", "c");
    model.appendRow("2", "t", "m", "v", "c");
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.clearRows();
    EXPECT_EQ(model.count(), 0);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(model.textBytes(), 0u);
    model.clearRows();
    model.appendRow("3", "t", "m", "v", "c");
    EXPECT_EQ(rowTexts(0), (Texts{"3", "t", "m", "v", "c"}));
}

TEST_F(ListFixture, CommentIsStoredUntrimmedAndOnlyInItsRow) {
    model.appendRow("1", "t1", "m1", "v1", "old");
    model.appendRow("2", "t2", "m2", "v2", "");
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    const std::string longComment = "  " + std::string(95, 'x') + "  ";
    model.setComment(0, longComment);
    EXPECT_EQ(rowTexts(0), (Texts{"1", "t1", "m1", "v1", longComment}));
    EXPECT_EQ(rowTexts(1), (Texts{"2", "t2", "m2", "v2", ""}));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toModelIndex(), model.index(0, ColComment));

    model.setComment(0, "");
    EXPECT_EQ(model.text(0, ColComment), "");
    EXPECT_EQ(model.text(0, ColValue), "v1");
    model.setComment(5, "nowhere");
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(model.textBytes(), summedTextBytes());
}

TEST_F(ListFixture, ColumnsHaveTheirCaptionsWidthsAndAlignments) {
    ASSERT_EQ(model.columnCount(), 5);
    const QStringList english{"Date", "Time", "Mode", "Value", "Comment"};
    const std::array<int, 5> widths{80, 80, 50, 80, 307};
    const std::array<Qt::Alignment, 5> align{Qt::AlignLeft, Qt::AlignLeft, Qt::AlignHCenter,
                                             Qt::AlignRight, Qt::AlignLeft};
    model.appendRow("1", "t", "m", "v", "c");
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(model.headerData(c, Qt::Horizontal).toString(), english[c]);
        EXPECT_EQ(MeasurementListModel::columnWidth(c), widths[c]);
        const auto cell =
            model.data(model.index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>();
        EXPECT_EQ(cell & Qt::AlignHorizontal_Mask, align[c]) << "column " << c;
        const auto head =
            model.headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>();
        EXPECT_EQ(head & Qt::AlignHorizontal_Mask, align[c]) << "column " << c;
    }
}

TEST_F(ListFixture, CaptionsFollowTheLanguage) {
    QSignalSpy header(&model, &QAbstractItemModel::headerDataChanged);
    model.setColumnCaptions({"Datum", "Zeit", "Modus", "Wert", "Kommentar"});
    EXPECT_EQ(header.count(), 1);
    EXPECT_EQ(model.headerData(4, Qt::Horizontal).toString(), "Kommentar");
    model.setColumnCaptions({"Date", "Heure", "Mode", "Valeur", "Commentaire"});
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "Heure");
    EXPECT_EQ(model.columnCaption(3), "Valeur");
}

TEST_F(ListFixture, ReadOnlyAndNeverSorted) {
    model.appendRow("2", "t", "m", "v", "c");
    model.appendRow("1", "t", "m", "v", "c");
    const QModelIndex cell = model.index(0, ColComment);
    EXPECT_FALSE(model.flags(cell) & Qt::ItemIsEditable);
    EXPECT_TRUE(model.flags(cell) & Qt::ItemIsSelectable);
    EXPECT_FALSE(model.setData(cell, "changed"));
    model.sort(ColDate, Qt::AscendingOrder);
    EXPECT_EQ(model.text(0, ColDate), "2");
    EXPECT_EQ(model.text(0, ColComment), "c");
}

TEST_F(ListFixture, TextsTakenFromTheListItselfCanBeAppendedAndCommented) {
    model.appendRow("09.12.2026", "00:01:02", "LC", "12,5", "first");
    // Views into the list's own storage, which grows while they are copied.
    for (int i = 0; i < 200; ++i) {
        const int last = model.count() - 1;
        model.appendRow(model.text(last, ColDate), model.text(last, ColTime),
                        model.text(last, ColMode), model.text(last, ColValue),
                        model.text(last, ColComment));
    }
    model.setComment(0, model.text(0, ColComment));
    model.setComment(5, model.text(3, ColValue));
    EXPECT_EQ(rowTexts(200), (Texts{"09.12.2026", "00:01:02", "LC", "12,5", "first"}));
    EXPECT_EQ(rowTexts(0), (Texts{"09.12.2026", "00:01:02", "LC", "12,5", "first"}));
    EXPECT_EQ(rowTexts(5), (Texts{"09.12.2026", "00:01:02", "LC", "12,5", "12,5"}));
    EXPECT_EQ(model.textBytes(), summedTextBytes());
}

TEST(ListStorage, ManyEditsAndDeletionsKeepEveryRowIntact) {
    // Without the model tester, which would check the whole list after every change.
    MeasurementListModel model;
    // Enough churn that the storage squeezes out deleted and replaced texts several times.
    // Every tenth value is no number.
    const auto valueText = [](int i) {
        return i % 10 == 7 ? "OL" : std::to_string(i % 400) + ",0";
    };
    for (int i = 0; i < 6000; ++i) {
        model.appendRow("09.12.2026", std::to_string(i), "C", valueText(i), "");
    }
    for (int round = 0; round < 4; ++round) {
        for (int row = 0; row < model.count(); ++row) {
            model.setComment(row, std::string(40, static_cast<char>('a' + round)));
        }
        for (int row = model.count() - 1; row >= 0; row -= 3) {
            model.removeRowAt(row);
        }
    }
    ASSERT_GT(model.count(), 0);
    int previous = -1;
    for (int row = 0; row < model.count(); ++row) {
        const int n = std::stoi(std::string(model.text(row, ColTime)));
        EXPECT_GT(n, previous); // order of arrival kept
        previous = n;
        EXPECT_EQ(model.text(row, ColValue), valueText(n));
        EXPECT_EQ(model.text(row, ColComment), std::string(40, 'd'));
        // The number read on appending stays with its row through the edits.
        const auto number = model.number(row);
        ASSERT_EQ(number.has_value(), n % 10 != 7) << n;
        if (number) {
            EXPECT_EQ(number->value, n % 400);
            EXPECT_EQ(number->decimals, 1);
        }
    }
    std::size_t sum = 0;
    for (int row = 0; row < model.count(); ++row) {
        for (int c = 0; c < ColumnCount; ++c) {
            sum += model.text(row, c).size();
        }
    }
    EXPECT_EQ(model.textBytes(), sum);
}

TEST_F(ListFixture, RowsAddedOrChangedAfterTheLastExportAreUnexported) {
    std::uint64_t mark = 0;
    const struct {
        const char* step;
        std::function<void()> act;
        bool unexported;
    } steps[] = {
        {"empty", [] {}, false},
        {"appended", [&] { model.appendRow("d", "t", "m", "1", ""); }, true},
        {"exported", [&] { model.markExported(model.changeMark()); }, false},
        {"another row", [&] { model.appendRow("d", "t", "m", "2", ""); }, true},
        {"export began", [&] { mark = model.changeMark(); }, true},
        {"row during export", [&] { model.appendRow("d", "t", "m", "3", ""); }, true},
        {"export done", [&] { model.markExported(mark); }, true},
        {"exported again", [&] { model.markExported(model.changeMark()); }, false},
        {"row removed", [&] { model.removeRowAt(0); }, false},
        {"comment", [&] { model.setComment(0, "x"); }, true},
        {"older mark", [&] { model.markExported(mark); }, true},
        {"cleared", [&] { model.clearRows(); }, false},
    };
    for (const auto& s : steps) {
        s.act();
        EXPECT_EQ(model.hasUnexported(), s.unexported) << s.step;
    }
}

} // namespace zt40::test
