// The records go out on a thread of their own, so that an output that blocks (a reader that
// stalls, a disk that hangs) never keeps the program from answering a signal: what is still
// queued when the run has to end is counted and told. The thread formats each record for the
// file it goes into: the header of a new file, the .dat row numbers, the samples.
#pragma once

#include "MeasurementRecords.h"
#include "RecordOutput.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zt40::cli {

class RecordWriter {
public:
    struct Settings {
        RecordStyle style;
        ColumnTexts titles; // of the dat header
        std::optional<long long> sampleSize;
        std::string path; // empty: standard output
    };
    // What the output has to tell, beside the records.
    struct Notice {
        enum class Kind {
            RemovedTail, // an incomplete last line was removed; `text` is the line
            Unreadable,  // the file could not be read; `text` says what follows from that
            Reopened,    // the file was reopened at its path
            Kept,        // the path still names the file written to: nothing to reopen
        };
        Kind kind;
        QString file;
        QString text;
    };
    struct Progress {
        long long written = 0; // records
        long long pending = 0; // records handed over and not written
        bool finished = false; // the thread is done: all written, or the output failed
        Outcome failure;       // why the output failed
        bool readerGone = false;
        std::vector<Notice> notices; // since the last call
    };

    // `wake` is called from the writer's thread when it has something to tell.
    RecordWriter(Settings settings, std::function<void()> wake);
    ~RecordWriter();
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    // Opens the output, on the calling thread, before `start`.
    Outcome open();
    // The output's descriptor whose reader may go away, or -1.
    int readerWatch() const { return readerWatch_; }
    QString outputName() const { return outputName_; }

    void start();
    void append(MeasurementRecord reading);
    // The next record goes into the file now at the path, unless it is the same.
    void reopen();
    // No more records: the thread ends once the queue is written.
    void close();
    Progress progress();
    // Waits for the thread to end, once progress() has told it finished.
    void join();

private:
    void run();
    Outcome adopt(std::unique_ptr<RecordOutput> output, bool first);
    std::string format(const MeasurementRecord& reading);
    void tell(Notice notice);

    const Settings settings_;
    const std::function<void()> wake_;
    int readerWatch_ = -1;
    QString outputName_;

    // Shared with the main thread.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<MeasurementRecord> queue_;
    bool writing_ = false; // one record taken from the queue and not written yet
    bool reopenDue_ = false;
    bool closed_ = false;
    Progress progress_;

    // The writer's own, once started.
    std::unique_ptr<RecordOutput> output_;
    bool headerDue_ = true;
    RecordPlace place_;
    std::thread thread_;
};

} // namespace zt40::cli
