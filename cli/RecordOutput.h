// Where the records go: standard output, or a file they are appended to. Each record reaches
// it in one write and, in a regular file, is on the disk before the next one is written; a
// file never keeps a partial line that a reader would take for a record.
#pragma once

#include "Outcome.h"

#include <QFile>
#include <QString>

#include <string>

namespace zt40::cli {

class RecordOutput {
public:
    RecordOutput() = default;
    RecordOutput(const RecordOutput&) = delete;
    RecordOutput& operator=(const RecordOutput&) = delete;
    ~RecordOutput();

    // Standard output when `path` is empty; else `path` opened for appending and, when it is a
    // regular file, locked for as long as it is open. A file that is created has its folder
    // synced. An existing file that ends in an incomplete line loses that line: it is no
    // record. Fails when the file cannot be opened, locked or mended, or when its incomplete
    // last line is longer than any record could be (then it is left as it is). A file that may
    // be written but not read is appended to without a look at its end (see `unreadable`).
    Outcome open(const std::string& path);

    // The output holds nothing yet: a header line is due.
    bool isEmpty() const { return empty_; }
    // The last whole line of the file, without its line end; empty when there is none.
    const std::string& lastLine() const { return lastLine_; }
    // The incomplete line removed from the end of the file, if any.
    const std::string& removedTail() const { return removedTail_; }
    // Why the file could not be read, when it could not; empty otherwise.
    const QString& unreadable() const { return unreadable_; }
    // The descriptor of a pipe or socket, whose reader may go away; -1 for other outputs.
    int readerWatch() const { return pipe_ ? fd_ : -1; }
    // `path` still names the file written to: it was neither moved nor replaced.
    bool isAt(const std::string& path) const;

    // Writes the bytes whole, then forces them to disk. On failure nothing of them stays in a
    // regular file.
    Outcome write(const std::string& bytes);
    // The last write failed because nobody reads the pipe any more.
    bool readerGone() const { return readerGone_; }

    QString name() const { return name_; }

private:
    Outcome openFile(const std::string& path);
    Outcome inspectTail();

    int fd_ = -1;
    bool ownFd_ = false;
    bool regular_ = false;
    bool pipe_ = false;
    bool empty_ = true;
    bool readerGone_ = false;
    std::string lastLine_;
    std::string removedTail_;
    QString unreadable_;
    QFile file_;
    QString name_;
};

} // namespace zt40::cli
