// What the main window does so that no reading is lost: at start-up it offers the rows a run
// that did not end cleanly left in the journal, then journals every change of the list; it
// knows whether the list holds rows not exported since their last change; and a clean end
// removes the journal.
#pragma once

#include "MeasurementJournal.h"

#include <QLockFile>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

namespace zt40 {

class MeasurementListModel;

class JournalKeeper : public QObject {
    Q_OBJECT
public:
    explicit JournalKeeper(MeasurementListModel& model, QObject* parent = nullptr);
    ~JournalKeeper() override;

    // Before the first reading: takes the journal's lock in `folder` (made if missing), asks
    // whether to restore the rows an earlier run left there, and starts journaling.
    void startUp(const QString& folder);
    // At the end: a clean end, or an empty list, removes the journal; otherwise it stays for
    // the next start.
    void finish(bool clean);

    // Counts every appended row and changed comment; an export that succeeded reports the
    // count it was made at.
    std::uint64_t changeMark() const { return changes_; }
    void exported(std::uint64_t mark);
    // Rows in the list that were added or changed after the last export.
    bool unsaved() const;

    bool journaling() const { return journal_.active(); }
    QString journalPath() const { return folder_ + QStringLiteral("zt40.journal"); }

private:
    bool restoreAsked(const JournalContents& contents);
    void restore(const JournalContents& contents);
    // Moves the journal aside under a name with its date, keeping or copying it.
    bool setAside(bool copy);
    void reportFailure(const QString& reason);

    MeasurementListModel& model_;
    MeasurementJournal journal_;
    std::unique_ptr<QLockFile> lock_;
    QString folder_;
    std::uint64_t changes_ = 0;
    std::uint64_t exportedAt_ = 0;
    bool failureShown_ = false;
};

} // namespace zt40
