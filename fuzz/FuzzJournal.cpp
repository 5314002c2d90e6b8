// The measurement journal read back after a crash: never a crash, and never a row that was
// not written.
//
// Input: the first byte chooses what is read.
//   0: the rest of the input as a journal file, as it may be found on disk;
//   1: a journal written record by record from the input (a count, then rows appended,
//      comments replaced, rows deleted, the list cleared), then the rest of the input as a line
//      that a crash cut short: reading gives exactly the rows written;
//   2: the same journal with one byte changed or the file cut short at a place the input
//      chooses: reading gives the rows as they were before the damaged record, no others.
#include "FuzzCheck.h"
#include "MeasurementJournal.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zt40::fuzz {
namespace {

using Rows = std::vector<JournalRow>;

// A journal written from the input, with the rows after each record.
struct Written {
    std::string bytes;
    std::vector<std::size_t> lineEnds; // end of each line, after its LF; the header first
    std::vector<Rows> states;          // states[k]: the rows after k records
};

Written writeJournal(fuzz::Input& in) {
    Written w;
    w.bytes = journalHeader();
    w.lineEnds.push_back(w.bytes.size());
    Rows rows;
    w.states.push_back(rows);
    const int records = in.byte() % 25;
    for (int record = 0; record < records && in.more(); ++record) {
        const std::uint8_t op = in.byte();
        std::string line;
        if (op % 8 < 4 || rows.empty()) {
            JournalRow row;
            for (auto& text : row) {
                text = in.text(0x1F);
            }
            line = journalRecord('A', {row[0], row[1], row[2], row[3], row[4]});
            rows.push_back(row);
        } else if (op % 8 < 6) {
            const std::size_t at = in.byte() % rows.size();
            const std::string comment(in.text(0x1F));
            line = journalRecord('C', {std::to_string(at), comment});
            rows[at][ColComment] = comment;
        } else if (op % 8 < 7) {
            const std::size_t at = in.byte() % rows.size();
            line = journalRecord('D', {std::to_string(at)});
            rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(at));
        } else {
            line = journalRecord('X', {});
            rows.clear();
        }
        FUZZ_CHECK(line.size() >= 2 && line.ends_with("\r\n"));
        w.bytes += line;
        w.lineEnds.push_back(w.bytes.size());
        w.states.push_back(rows);
    }
    return w;
}

int testOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const int mode = in.byte() % 3;

    if (mode == 0) {
        const std::string_view bytes = in.rest();
        const JournalContents read = readJournal(bytes);
        FUZZ_CHECK(read.goodBytes <= bytes.size());
        FUZZ_CHECK((read.status == JournalStatus::Empty) == bytes.empty());
        if (read.status == JournalStatus::NotAJournal ||
            read.status == JournalStatus::UnknownVersion) {
            FUZZ_CHECK(read.rows.empty());
        }
        // The good part alone gives the same rows: nothing after it counted.
        if (read.goodBytes > 0) {
            const JournalContents good = readJournal(bytes.substr(0, read.goodBytes));
            FUZZ_CHECK(good.status == JournalStatus::Complete);
            FUZZ_CHECK(good.rows == read.rows && good.goodBytes == read.goodBytes);
        }
        return 0;
    }

    const Written w = writeJournal(in);
    const JournalContents whole = readJournal(w.bytes);
    FUZZ_CHECK(whole.status == JournalStatus::Complete);
    FUZZ_CHECK(whole.rows == w.states.back() && whole.goodBytes == w.bytes.size());

    if (mode == 1) {
        // A last line without its line end, as a crash leaves it: it adds nothing.
        std::string torn(in.rest());
        std::replace(torn.begin(), torn.end(), '\n', ' ');
        const JournalContents read = readJournal(w.bytes + torn);
        FUZZ_CHECK(read.rows == w.states.back());
        FUZZ_CHECK(read.goodBytes == w.bytes.size());
        FUZZ_CHECK(read.status ==
                   (torn.empty() ? JournalStatus::Complete : JournalStatus::TornEnd));
        return 0;
    }

    // One byte changed, or the file cut short there.
    std::size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        at = at << 8 | in.byte();
    }
    at %= w.bytes.size();
    const std::uint8_t change = in.byte();
    std::string damaged = w.bytes;
    if (change == 0) {
        damaged.resize(at);
    } else {
        damaged[at] = static_cast<char>(damaged[at] ^ change);
    }
    // The record whose line holds the damage (0 is the header).
    const std::size_t line = static_cast<std::size_t>(
        std::upper_bound(w.lineEnds.begin(), w.lineEnds.end(), at) - w.lineEnds.begin());
    const JournalContents read = readJournal(damaged);
    if (line == 0) {
        FUZZ_CHECK(read.rows.empty());
    } else if (read.rows != w.states[line - 1]) {
        // Only a change that leaves the record as it was (a hex digit of its check in the
        // other letter case) may keep it and what follows.
        FUZZ_CHECK(change != 0 && read.rows == w.states.back() &&
                   read.status == JournalStatus::Complete);
    }
    FUZZ_CHECK(read.goodBytes <= damaged.size());
    return 0;
}

} // namespace
} // namespace zt40::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return zt40::fuzz::testOneInput(data, size);
}
