// Where the records go: standard output, or a file they are appended to. Each record reaches
// it in one write and, in a regular file, is on the disk before the next one is written; a
// file never keeps a partial line that a reader would take for a record.
#pragma once

#include "Outcome.h"

#include <QFile>
#include <QString>

#include <string>

namespace zt40::cli {

// Writes the bytes to the file descriptor, going on after interruptions; the number written,
// and the error that stopped it short.
std::size_t writeAll(int fd, const std::string& bytes, int& error);

class RecordOutput {
public:
    RecordOutput() = default;
    RecordOutput(const RecordOutput&) = delete;
    RecordOutput& operator=(const RecordOutput&) = delete;
    ~RecordOutput();

    // Standard output, or `path` opened for appending (created when missing). An existing file
    // that ends in an incomplete line loses that line: it is no record. Fails when the file
    // cannot be opened or mended, or when its incomplete last line is longer than any record
    // could be (then it is left as it is).
    Outcome open(const std::string& path);

    // The output holds nothing yet: a header line is due.
    bool isEmpty() const { return empty_; }
    // The first field of the last line, when it is a number (the row number of a .dat file).
    unsigned long long lastRowNumber() const { return lastRowNumber_; }
    // The incomplete line removed from the end of the file, if any.
    const std::string& removedTail() const { return removedTail_; }

    // Writes the bytes whole, then forces them to disk. On failure nothing of them stays in a
    // regular file.
    Outcome write(const std::string& bytes);

    QString name() const { return name_; }

private:
    Outcome inspectTail();

    int fd_ = -1;
    bool ownFd_ = false;
    bool regular_ = false;
    bool empty_ = true;
    unsigned long long lastRowNumber_ = 0;
    std::string removedTail_;
    QFile file_;
    QString name_;
};

} // namespace zt40::cli
