// The journal's policy around a run of the program: at start-up it takes the journal's lock,
// offers the rows an earlier run left behind and keeps aside what cannot be taken back; then
// it journals every change of the list; a clean end removes the journal.
//
// It asks its questions and tells its news through JournalQuestions, so it knows no window:
// the program answers with message boxes, tests with a recording.
#pragma once

#include "MeasurementJournal.h"

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>
#include <string_view>

namespace zt40 {

class MeasurementListModel;

// Why something of the journal went wrong.
enum class JournalFailure {
    FolderNotMade, // the journal's folder cannot be made
    LockNotMade,   // the lock file cannot be made; detail: the system's reason, if known
    NotKeptAside,  // the old journal cannot be kept aside; detail: the name meant for it
    System,        // reading or writing failed; detail: the system's reason
};

// What was kept aside instead of being restored.
enum class JournalKeptAside {
    Unreadable,  // nothing could be taken from the old journal
    Remainder,   // the rows before a damaged record were restored; the whole file is kept
    NotRestored, // a damaged journal whose restore was declined; the whole file is kept
};

// Why whether the lock's program still runs cannot be told.
enum class JournalLockDoubt {
    EmptyOrForeign, // the lock is empty, or was made on another computer
    Unreadable,     // the lock file cannot be read
};

class JournalQuestions {
public:
    virtual ~JournalQuestions() = default;
    // Restore the readings a run that did not end cleanly left behind? `date` and `time` are
    // those of the first of them.
    virtual bool restore(int readings, std::string_view date, std::string_view time) = 0;
    // Whether the program of the lock still runs cannot be told, for the reason given.
    // Take the lock over?
    virtual bool takeOverLock(const QString& lockFile, JournalLockDoubt why) = 0;
    // Another program on this computer holds the lock: this run keeps no journal.
    virtual void tellLocked() = 0;
    // The old journal was kept as `keptAs` (a full path).
    virtual void tellKeptAside(JournalKeptAside what, const QString& keptAs) = 0;
    // The journal `journal` cannot be kept; this run goes on without it.
    virtual void tellFailure(const QString& journal, JournalFailure why, const QString& detail) = 0;
};

class JournalSession : public QObject {
    Q_OBJECT
public:
    JournalSession(MeasurementListModel& model, JournalQuestions& questions,
                   QObject* parent = nullptr);
    ~JournalSession() override;

    // Before the first reading: takes the journal's lock in `folder` (made if missing),
    // offers to restore what an earlier run left there, and starts journaling.
    void startUp(const QString& folder);
    // At the end: a clean end, or an empty list, removes the journal; otherwise it stays for
    // the next start.
    void finish(bool clean);

    QString journalPath() const { return folder_ + QStringLiteral("zt40.journal"); }

private:
    bool takeLock();
    // tryLock, with the system's reason kept when it fails.
    bool tryLock();
    void restore(const JournalContents& contents);
    // Moves the journal aside under a name with its date, or copies it there; the name, or
    // an empty one when that failed (and was told).
    QString keepAside(bool copy);
    void fail(JournalFailure why, const QString& detail = {});

    MeasurementListModel& model_;
    JournalQuestions& questions_;
    MeasurementJournal journal_;
    std::unique_ptr<QLockFile> lock_;
    QString lockFailure_; // why the last tryLock failed, as the system says it; may be empty
    QString folder_;
    bool failureTold_ = false;
};

} // namespace zt40
