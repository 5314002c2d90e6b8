#include "RecordWriter.h"

#include "Cp1252.h"

#include <utility>

namespace zt40::cli {

RecordWriter::RecordWriter(Settings settings, std::function<void()> wake)
    : settings_(std::move(settings)), wake_(std::move(wake)) {}

RecordWriter::~RecordWriter() {
    close();
    join();
}

Outcome RecordWriter::open() {
    auto output = std::make_unique<RecordOutput>();
    if (Outcome opened = output->open(settings_.path); !opened.ok()) {
        return opened;
    }
    readerWatch_ = output->readerWatch();
    outputName_ = output->name();
    return adopt(std::move(output), true);
}

// Takes over an opened output: its header and numbers, and what it has to tell.
Outcome RecordWriter::adopt(std::unique_ptr<RecordOutput> output, bool first) {
    const RecordStyle& style = settings_.style;
    headerDue_ = output->isEmpty();
    const RecordPlace last = placeOfLine(style, output->lastLine());
    place_.row = last.row;
    // The samples go on from the file the run starts with; after a reopen from the run's own.
    if (first) {
        place_.sample = last.sample;
        place_.position = last.position;
    }
    if (!output->removedTail().empty()) {
        const std::string& tail = output->removedTail();
        tell({Notice::Kind::RemovedTail, output->name(),
              style.format == RecordFormat::Dat ? platform::fromCp1252(tail)
                                                : QString::fromUtf8(tail)});
    }
    if (!output->unreadable().isEmpty()) {
        const bool numbered = style.format == RecordFormat::Dat || style.samples;
        tell({Notice::Kind::Unreadable, output->name(),
              QStringLiteral("cannot read %1 (%2): appending without a look at its last line; "
                             "an incomplete last line stays%3")
                  .arg(output->name(), output->unreadable(),
                       numbered ? QStringLiteral(", and the numbering starts at 1") : QString())});
    }
    if (!first) {
        tell({Notice::Kind::Reopened, output->name(), {}});
    }
    output_ = std::move(output);
    return {};
}

void RecordWriter::start() {
    thread_ = std::thread([this] { run(); });
}

void RecordWriter::append(MeasurementRecord reading) {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(reading));
    changed_.notify_all();
}

void RecordWriter::reopen() {
    std::lock_guard lock(mutex_);
    reopenDue_ = true;
    changed_.notify_all();
}

void RecordWriter::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
}

RecordWriter::Progress RecordWriter::progress() {
    std::lock_guard lock(mutex_);
    Progress now = progress_;
    now.pending = static_cast<long long>(queue_.size()) + (writing_ ? 1 : 0);
    progress_.notices.clear();
    return now;
}

void RecordWriter::join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void RecordWriter::tell(Notice notice) {
    {
        std::lock_guard lock(mutex_);
        progress_.notices.push_back(std::move(notice));
    }
    wake_();
}

std::string RecordWriter::format(const MeasurementRecord& reading) {
    std::string bytes = headerDue_ ? headerLine(settings_.style, settings_.titles) : std::string();
    ++place_.row;
    if (settings_.sampleSize) {
        const bool full = place_.sample == 0 ||
                          place_.position >= static_cast<unsigned long long>(*settings_.sampleSize);
        place_.sample += full ? 1 : 0;
        place_.position = full ? 1 : place_.position + 1;
    }
    return bytes + recordLine(settings_.style, reading, place_);
}

void RecordWriter::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return reopenDue_ || closed_ || !queue_.empty(); });
        Outcome outcome;
        if (reopenDue_) {
            reopenDue_ = false;
            lock.unlock();
            if (output_->isAt(settings_.path)) {
                tell({Notice::Kind::Kept, output_->name(), {}});
            } else {
                auto next = std::make_unique<RecordOutput>();
                outcome = next->open(settings_.path);
                if (outcome.ok()) {
                    outcome = adopt(std::move(next), false);
                }
            }
            lock.lock();
        } else if (!queue_.empty()) {
            const MeasurementRecord reading = std::move(queue_.front());
            queue_.pop_front();
            writing_ = true;
            lock.unlock();
            outcome = output_->write(format(reading));
            if (outcome.ok()) {
                headerDue_ = false;
            }
            lock.lock();
            // A record that failed stays counted as not written.
            writing_ = !outcome.ok();
            progress_.written += outcome.ok() ? 1 : 0;
            progress_.readerGone = output_->readerGone();
        }
        if (!outcome.ok() || (closed_ && queue_.empty() && !reopenDue_)) {
            progress_.failure = outcome;
            progress_.finished = true;
            lock.unlock();
            wake_();
            return;
        }
    }
}

} // namespace zt40::cli
