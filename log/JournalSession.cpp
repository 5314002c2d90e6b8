#include "JournalSession.h"

#include "MeasurementListModel.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace zt40 {

JournalSession::JournalSession(MeasurementListModel& model, JournalQuestions& questions,
                               QObject* parent)
    : QObject(parent), model_(model), questions_(questions), journal_(model) {
    // Told after the change that failed has been handled, not in the middle of a poll tick.
    connect(
        &journal_, &MeasurementJournal::failed, this,
        [this](const QString& reason) { fail(JournalFailure::System, reason); },
        Qt::QueuedConnection);
}

JournalSession::~JournalSession() = default;

void JournalSession::startUp(const QString& folder) {
    folder_ = folder;
    const QString path = journalPath();
    if (!QDir().mkpath(folder_)) {
        fail(JournalFailure::FolderNotMade);
        return;
    }
    if (!takeLock()) {
        return;
    }

    JournalContents contents;
    const QFileInfo info(path);
    if (info.exists() && info.isFile()) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            // Never start anew over a journal that could not be looked at.
            fail(JournalFailure::System, file.errorString());
            return;
        }
        const QByteArray bytes = file.readAll();
        contents = readJournal(std::string_view(bytes.constData(), bytes.size()));
    }

    std::size_t keep = 0;
    if (!contents.rows.empty()) {
        const JournalRow& first = contents.rows.front();
        const int readings = static_cast<int>(
            std::min<std::size_t>(contents.rows.size(), std::numeric_limits<int>::max()));
        if (questions_.restore(readings, first[ColDate], first[ColTime])) {
            restore(contents);
            if (contents.status == JournalStatus::Damaged) {
                // What follows the damaged record is kept in a copy; the journal goes on
                // after the good records.
                const QString copy = keepAside(true);
                if (copy.isEmpty()) {
                    return;
                }
                questions_.tellKeptAside(JournalKeptAside::Remainder, copy);
            }
            keep = contents.goodBytes;
        } else {
            const QString kept = keepAside(false);
            if (kept.isEmpty()) {
                return;
            }
            // What follows the damage was not offered; say where it can still be found.
            if (contents.status == JournalStatus::Damaged) {
                questions_.tellKeptAside(JournalKeptAside::NotRestored, kept);
            }
        }
    } else if (contents.status == JournalStatus::Damaged ||
               contents.status == JournalStatus::UnknownVersion ||
               contents.status == JournalStatus::NotAJournal) {
        const QString kept = keepAside(false);
        if (kept.isEmpty()) {
            return;
        }
        questions_.tellKeptAside(JournalKeptAside::Unreadable, kept);
    }
    if (const Outcome started = journal_.start(path, keep); !started.ok()) {
        fail(JournalFailure::System, started.reason());
    }
}

bool JournalSession::tryLock() {
    errno = 0;
    if (lock_->tryLock()) {
        return true;
    }
    // QLockFile tells no reason; the failed call's is still in errno (not so on Windows,
    // where the lock is made through the Win32 calls).
    lockFailure_ = errno != 0 ? qt_error_string(errno) : QString();
    return false;
}

bool JournalSession::takeLock() {
    const QString lockPath = journalPath() + QStringLiteral(".lock");
    lock_ = std::make_unique<QLockFile>(lockPath);
    lock_->setStaleLockTime(0); // a lock is stale only when its program is gone
    if (tryLock()) {
        return true;
    }
    if (lock_->error() == QLockFile::LockFailedError) {
        qint64 pid = 0;
        QString host;
        QString application;
        // A lock of a program on this computer tells whether that program still runs; an
        // empty or unreadable one, or one from another computer sharing the folder, does not.
        const bool judged = lock_->getLockInfo(&pid, &host, &application) &&
                            (host.isEmpty() || host == QSysInfo::machineHostName());
        if (judged) {
            lock_.reset();
            questions_.tellLocked();
            return false;
        }
        const bool unreadable = !QFile(lockPath).open(QIODevice::ReadOnly);
        if (!questions_.takeOverLock(QDir::toNativeSeparators(lockPath),
                                     unreadable ? JournalLockDoubt::Unreadable
                                                : JournalLockDoubt::EmptyOrForeign)) {
            lock_.reset();
            return false;
        }
        lockFailure_.clear();
        bool removed = lock_->removeStaleLockFile();
        if (!removed && unreadable) {
            // QLockFile opens a lock to remove it, which one without read and write permission
            // does not allow; the folder may allow removing it all the same.
            QFile stale(lockPath);
            removed = stale.remove();
            if (!removed) {
                lockFailure_ = stale.errorString();
            }
        }
        if (removed && tryLock()) {
            return true;
        }
    }
    lock_.reset();
    fail(JournalFailure::LockNotMade, lockFailure_);
    return false;
}

void JournalSession::restore(const JournalContents& contents) {
    for (const JournalRow& row : contents.rows) {
        model_.appendRow(row[ColDate], row[ColTime], row[ColMode], row[ColValue], row[ColComment]);
        // An edited comment keeps the blanks that a new row's comment loses.
        const int last = model_.count() - 1;
        if (model_.text(last, ColComment) != row[ColComment]) {
            model_.setComment(last, row[ColComment]);
        }
    }
}

QString JournalSession::keepAside(bool copy) {
    const QString path = journalPath();
    const QString base =
        folder_ + QStringLiteral("zt40-") +
        QFileInfo(path).lastModified().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    QString target = base + QStringLiteral(".journal");
    for (int k = 2; QFileInfo::exists(target); ++k) {
        target = base + QStringLiteral("-%1.journal").arg(k);
    }
    const QString shown = QDir::toNativeSeparators(target);
    if (copy ? QFile::copy(path, target) : QFile::rename(path, target)) {
        return shown;
    }
    fail(JournalFailure::NotKeptAside, shown);
    return {};
}

void JournalSession::fail(JournalFailure why, const QString& detail) {
    if (failureTold_) {
        return;
    }
    failureTold_ = true;
    questions_.tellFailure(QDir::toNativeSeparators(journalPath()), why, detail);
}

void JournalSession::finish(bool clean) {
    if (clean || model_.count() == 0) {
        journal_.discard();
    } else {
        journal_.stop();
    }
    lock_.reset();
}

} // namespace zt40
