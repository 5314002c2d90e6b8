// The journal that keeps the measurement list safe across crashes, kills and power cuts.
//
// Every change of the list (a row appended, a comment changed, a row deleted, the list
// cleared) is appended to the journal file as one line and forced to disk before the change
// handler returns. Reading the file back replays the changes and gives the rows the list
// held at the last complete record.
//
// File layout, Windows-1252 bytes, every line ending in CR LF:
//   ZT40 measurement journal<TAB>1                              header, format version 1
//   A<TAB>date<TAB>time<TAB>mode<TAB>value<TAB>comment<TAB>crc  a row appended at the end
//   C<TAB>row<TAB>comment<TAB>crc                               comment of a row replaced
//   D<TAB>row<TAB>crc                                           a row deleted
//   X<TAB>crc                                                   the list cleared
// `row` is the 0-based row index in decimal. `crc` is the CRC-32 of the line up to the tab
// before it, as eight lower-case hex digits, so that a torn or garbled line is recognised
// instead of being read as something else. In the texts a backslash, tab, CR and LF are
// written as \\, \t, \r and \n, other control bytes as \xHH; bytes 0x80 to 0xFF stay as
// they are.
#pragma once

#include "MeasurementListModel.h"
#include "Outcome.h"

#include <QFile>
#include <QObject>
#include <QString>

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace zt40 {

// Five texts in column order, as the list holds them.
using JournalRow = std::array<std::string, ColumnCount>;

enum class JournalStatus {
    Empty,          // no bytes at all
    Complete,       // every line was read
    TornEnd,        // the last line has no line end yet (a write cut short); ignored
    Damaged,        // a whole line that is not a valid record; reading stopped there
    UnknownVersion, // a journal of another format version: no rows taken from it
    NotAJournal,    // the first line is not a journal header
};

struct JournalContents {
    JournalStatus status = JournalStatus::Empty;
    std::vector<JournalRow> rows; // the list as of the last good record
    std::size_t goodBytes = 0;    // header and good records; appending may go on from here
};

// Replays a journal's bytes. Never throws; a line that is not a valid record ends the reading,
// so no row is ever made from a damaged line or from a change that came after one.
JournalContents readJournal(std::string_view bytes);

inline constexpr std::string_view JournalMagic = "ZT40 measurement journal";
inline constexpr int JournalVersion = 1;

// The header line and one record line (kind letter and its unescaped fields), as written.
std::string journalHeader();
std::string journalRecord(char kind, std::initializer_list<std::string_view> fields);

// Watches a measurement list and appends each of its changes to the journal file, synced
// to disk before returning. Nothing of the list is kept here: records are made from the
// list's own texts and written at once.
class MeasurementJournal : public QObject {
    Q_OBJECT
public:
    explicit MeasurementJournal(MeasurementListModel& model, QObject* parent = nullptr);
    ~MeasurementJournal() override; // closes the file and keeps it

    // Starts journaling into `path`. With keepBytes 0 a new journal is written (an existing
    // file is replaced); otherwise the file's first keepBytes bytes (a journal read back
    // and put into the list) are kept and the records go on after them. False when the
    // file cannot be written, with the system's reason; failed() has then been emitted.
    Outcome start(const QString& path, std::size_t keepBytes = 0);
    // Stops watching the list and closes the file, which stays as it is.
    void stop();
    // Stops and removes the journal file it was started on, the removal synced to disk: the
    // list needs no guarding any more.
    void discard();
    bool active() const { return file_.isOpen(); }

signals:
    // The journal could not be written; it stops there. Emitted once per start.
    void failed(const QString& reason);

private:
    void rowAppended(int row);
    void commentChanged(int row);
    void rowRemoved(int row);
    void rowsCleared();
    void addRecord(char kind, std::initializer_list<std::string_view> fields);
    bool writeAndSync(std::string_view bytes);
    void fail(const QString& reason);

    MeasurementListModel& model_;
    QFile file_;
    QString path_;
    QString error_;
    std::string line_; // reused for every record
    std::vector<QMetaObject::Connection> connections_;
};

} // namespace zt40
