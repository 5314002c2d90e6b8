// The journal: the bytes it writes for each change of the list, and what reading them back
// gives for whole, cut, garbled and foreign files.
#include "MeasurementJournal.h"

#include "FileSync.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace zt40::test {

namespace {

std::string fileBytes(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll().toStdString();
}

std::vector<JournalRow> rowsOf(const MeasurementListModel& model) {
    std::vector<JournalRow> rows;
    for (int r = 0; r < model.count(); ++r) {
        JournalRow row;
        for (int c = 0; c < ColumnCount; ++c) {
            row[c] = std::string(model.text(r, c));
        }
        rows.push_back(row);
    }
    return rows;
}

// A record line with any payload, escapes unchecked, and its right CRC-32.
std::string lineWithCrc(std::string_view payload) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : payload) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", ~crc);
    return std::string(payload) + '\t' + digits + "\r\n";
}

std::string everyByteFrom1To255() {
    std::string bytes;
    for (int b = 1; b <= 255; ++b) {
        bytes += static_cast<char>(b);
    }
    return bytes;
}

// A journal written through a list, with the list's rows after each record: the file's
// size at that point and the rows a reader must give for it.
class JournalFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(journal.start(path).ok());
        snapshot();
    }
    void snapshot() { states.emplace_back(fileBytes(path).size(), rowsOf(model)); }
    void writeTypicalSession() {
        const struct {
            const char* date;
            const char* value;
        } readings[] = {{"08.12.2026", " 12,5 "}, {"08.12.2026", "101,3"}, {"09.12.2026", "7,0"}};
        for (const auto& r : readings) {
            model.appendRow(r.date, "23:59:59", "C D", r.value, "");
            snapshot();
        }
        model.setComment(1, everyByteFrom1To255());
        snapshot();
        model.setComment(0, " Probe \xE4 \\t ");
        snapshot();
        model.removeRowAt(0);
        snapshot();
        model.clearRows();
        snapshot();
        model.appendRow("10.12.2026", "00:00:01", "L C", "55,5", "after the clear");
        snapshot();
        model.appendRow("10.12.2026", "00:00:02", "C", "56,0", "");
        snapshot();
        model.removeRowAt(1);
        snapshot();
    }

    QTemporaryDir dir;
    QString path = dir.filePath("zt40.journal");
    MeasurementListModel model;
    MeasurementJournal journal{model};
    std::vector<std::pair<std::size_t, std::vector<JournalRow>>> states;
};

} // namespace

TEST_F(JournalFile, EachChangeIsOneLineOnDiskAtOnce) {
    const std::string header = "ZT40 measurement journal\t1\r\n";
    EXPECT_EQ(fileBytes(path), header);

    model.appendRow("08.12.2026", "10:00:01", " C ", "12,5 ", "");
    std::string expected = header + "A\t08.12.2026\t10:00:01\tC\t12,5\t\t466e809a\r\n";
    EXPECT_EQ(fileBytes(path), expected);
    model.setComment(0, "a\tb\x01");
    expected += "C\t0\ta\\tb\\x01\t5de15eae\r\n";
    EXPECT_EQ(fileBytes(path), expected);
    model.removeRowAt(0);
    expected += "D\t0\t7fc977eb\r\n";
    EXPECT_EQ(fileBytes(path), expected);
    model.appendRow("d", "t", "m", "v", "c");
    model.clearRows();
    EXPECT_TRUE(fileBytes(path).ends_with("X\tb7b2364b\r\n"));
}

TEST_F(JournalFile, ReadingBackAFileCutAnywhereGivesTheListAtItsLastWholeRecord) {
    writeTypicalSession();
    const std::string bytes = fileBytes(path);
    std::size_t state = 0;
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        while (state + 1 < states.size() && states[state + 1].first <= cut) {
            ++state;
        }
        const JournalContents contents = readJournal(std::string_view(bytes).substr(0, cut));
        const bool whole = cut == states[state].first;
        const JournalStatus expected = cut == 0 ? JournalStatus::Empty
                                       : whole  ? JournalStatus::Complete
                                                : JournalStatus::TornEnd;
        ASSERT_EQ(contents.status, expected) << cut;
        ASSERT_EQ(contents.rows,
                  cut < states[0].first ? std::vector<JournalRow>{} : states[state].second)
            << cut;
        if (whole) {
            ASSERT_EQ(contents.goodBytes, cut);
        }
    }
    // The comment with every byte 0x01 to 0xFF came back whole before its row was deleted.
    EXPECT_EQ(states[4].second[1][ColComment], everyByteFrom1To255());
}

TEST_F(JournalFile, AGarbledLineStopsTheReadingBeforeIt) {
    writeTypicalSession();
    const std::string bytes = fileBytes(path);
    // The comment record with every byte value, and the deletion after it.
    for (const std::size_t record : {4u, 6u}) {
        const std::size_t begin = states[record - 1].first;
        const std::size_t end = states[record].first;
        for (std::size_t at = begin; at < end; ++at) {
            for (const char change : {'\x01', '\x20', '\x80'}) {
                std::string garbled = bytes;
                garbled[at] = static_cast<char>(garbled[at] ^ change);
                const JournalContents contents = readJournal(garbled);
                ASSERT_EQ(contents.status, JournalStatus::Damaged) << record << " " << at;
                ASSERT_EQ(contents.rows, states[record - 1].second) << record << " " << at;
                ASSERT_EQ(contents.goodBytes, begin);
            }
        }
    }
}

TEST(JournalReader, ForeignAndBrokenFilesGiveNoWrongRow) {
    const std::string header = journalHeader();
    const std::string row = journalRecord('A', {"d", "t", "m", "v", "c"});
    std::string garbledRow = row;
    garbledRow[row.size() - 12] = 'C'; // the comment, before its tab, CRC, CR and LF
    const struct {
        std::string bytes;
        JournalStatus status;
        std::size_t rows;
    } cases[] = {
        {"", JournalStatus::Empty, 0},
        {"ZT40 meas", JournalStatus::TornEnd, 0},
        {header, JournalStatus::Complete, 0},
        {"ZT40 measurement journal\t2\r\n" + row, JournalStatus::UnknownVersion, 0},
        {"ZT40 measurement journal\t1\n" + row, JournalStatus::UnknownVersion, 0},
        {"Date\tTime\tMode\tValue\tComment\r\n", JournalStatus::NotAJournal, 0},
        {std::string("\0\xFF\n\n\r\n", 5), JournalStatus::NotAJournal, 0},
        {header + row + row, JournalStatus::Complete, 2},
        // Records that check out but do not fit the list.
        {header + row + journalRecord('D', {"1"}) + row, JournalStatus::Damaged, 1},
        {header + row + journalRecord('C', {"01", "x"}) + row, JournalStatus::Damaged, 1},
        {header + row + journalRecord('D', {"-0"}) + row, JournalStatus::Damaged, 1},
        {header + row + journalRecord('A', {"d", "t", "m", "v"}) + row, JournalStatus::Damaged, 1},
        {header + row + journalRecord('Q', {}) + row, JournalStatus::Damaged, 1},
        {header + row + lineWithCrc("A\td\\q\tt\tm\tv\tc") + row, JournalStatus::Damaged, 1},
        {header + row + lineWithCrc("A\td\\x0g\tt\tm\tv\tc") + row, JournalStatus::Damaged, 1},
        {header + row + lineWithCrc("A\td\tt\tm\tv\tc"), JournalStatus::Complete, 2},
        // A whole last line that fails its check is damage; one without its line end is a
        // write cut short.
        {header + row + garbledRow, JournalStatus::Damaged, 1},
        {header + row + "\r\n", JournalStatus::Damaged, 1},
        {header + row + row.substr(0, row.size() - 1), JournalStatus::TornEnd, 1},
        {header + row + std::string(40, '\0'), JournalStatus::TornEnd, 1},
    };
    for (const auto& c : cases) {
        const JournalContents contents = readJournal(c.bytes);
        EXPECT_EQ(contents.status, c.status) << c.bytes;
        EXPECT_EQ(contents.rows.size(), c.rows) << c.bytes;
        for (const JournalRow& r : contents.rows) {
            EXPECT_EQ(r, (JournalRow{"d", "t", "m", "v", "c"}));
        }
    }
}

TEST_F(JournalFile, EachRecordIsOnDiskBeforeTheNextChange) {
    struct Sync {
        qint64 size;
        bool ok;
    };
    std::vector<Sync> syncs;
    platform::setSyncObserver([&](const QString& synced, bool ok) {
        if (synced == path) {
            syncs.push_back({QFileInfo(path).size(), ok});
        }
    });
    const struct {
        const char* change;
        std::function<void()> make;
    } changes[] = {
        {"append", [&] { model.appendRow("d", "t", "m", "v", ""); }},
        {"comment", [&] { model.setComment(0, "c"); }},
        {"append", [&] { model.appendRow("d", "t", "m", "v", ""); }},
        {"delete", [&] { model.removeRowAt(1); }},
        {"clear", [&] { model.clearRows(); }},
    };
    for (const auto& c : changes) {
        syncs.clear();
        c.make();
        ASSERT_EQ(syncs.size(), 1u) << c.change;
        EXPECT_TRUE(syncs[0].ok) << c.change;
        // Synced once the whole record was written, and nothing written after the sync.
        EXPECT_EQ(syncs[0].size, QFileInfo(path).size()) << c.change;
        EXPECT_TRUE(fileBytes(path).ends_with("\r\n")) << c.change;
    }
    platform::setSyncObserver({});
}

} // namespace zt40::test
