#include "JournalKeeper.h"

#include "Application.h"
#include "Cp1252.h"
#include "JournalTexts.h"
#include "Languages.h"
#include "MeasurementListModel.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>

#include <algorithm>
#include <limits>

namespace zt40 {

JournalKeeper::JournalKeeper(MeasurementListModel& model, QObject* parent)
    : QObject(parent), model_(model), journal_(model) {
    connect(&model_, &QAbstractItemModel::rowsInserted, this, [this] { ++changes_; });
    connect(&model_, &QAbstractItemModel::dataChanged, this, [this] { ++changes_; });
    // Shown after the change that failed has been handled, not in the middle of a poll tick.
    connect(&journal_, &MeasurementJournal::failed, this, &JournalKeeper::reportFailure,
            Qt::QueuedConnection);
}

JournalKeeper::~JournalKeeper() = default;

void JournalKeeper::startUp(const QString& folder) {
    folder_ = folder;
    const QString path = journalPath();
    if (!QDir().mkpath(folder_)) {
        reportFailure(QStringLiteral("The folder cannot be made."));
        return;
    }
    lock_ = std::make_unique<QLockFile>(path + QStringLiteral(".lock"));
    lock_->setStaleLockTime(0); // a lock is stale only when its program is gone
    if (!lock_->tryLock()) {
        if (lock_->error() == QLockFile::LockFailedError) {
            QMessageBox box(QMessageBox::Warning, QString::fromLatin1(ApplicationTitle),
                            fromCp1252(journalLockedText(ActiveLanguage)), QMessageBox::Ok,
                            nullptr);
            box.setObjectName("JournalLockedBox");
            box.exec();
        } else {
            reportFailure(QStringLiteral("The lock file cannot be made."));
        }
        lock_.reset();
        return;
    }

    JournalContents contents;
    const QFileInfo info(path);
    if (info.exists() && info.isFile()) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            // Never start anew over a journal that could not be looked at.
            reportFailure(file.errorString());
            return;
        }
        const QByteArray bytes = file.readAll();
        contents = readJournal(std::string_view(bytes.constData(), bytes.size()));
    }

    std::size_t keep = 0;
    if (!contents.rows.empty()) {
        if (restoreAsked(contents)) {
            restore(contents);
            // What follows a damaged line is kept in a copy; the journal goes on after the
            // good records.
            if (contents.status == JournalStatus::Damaged && !setAside(true)) {
                return;
            }
            keep = contents.goodBytes;
        } else if (!setAside(false)) {
            return;
        }
    } else if (contents.status == JournalStatus::Damaged ||
               contents.status == JournalStatus::UnknownVersion ||
               contents.status == JournalStatus::NotAJournal) {
        if (!setAside(false)) {
            return;
        }
    }
    if (!journal_.start(path, keep)) {
        reportFailure(journal_.errorString());
    }
}

bool JournalKeeper::restoreAsked(const JournalContents& contents) {
    const JournalRow& first = contents.rows.front();
    const int readings = static_cast<int>(
        std::min<std::size_t>(contents.rows.size(), std::numeric_limits<int>::max()));
    const QString text =
        fromCp1252(journalRestoreQuestion(ActiveLanguage, readings))
            .arg(QString::number(readings), fromCp1252(first[ColDate]), fromCp1252(first[ColTime]));
    QMessageBox box(QMessageBox::Question, fromCp1252(uiText(Slot::QuestionTitle)), text,
                    QMessageBox::Yes | QMessageBox::No, nullptr);
    box.setObjectName("JournalRestoreBox");
    return box.exec() == QMessageBox::Yes;
}

void JournalKeeper::restore(const JournalContents& contents) {
    for (const JournalRow& row : contents.rows) {
        model_.appendRow(row[ColDate], row[ColTime], row[ColMode], row[ColValue], row[ColComment]);
        // An edited comment keeps the blanks that a new row's comment loses.
        const int last = model_.count() - 1;
        if (model_.text(last, ColComment) != row[ColComment]) {
            model_.setComment(last, row[ColComment]);
        }
    }
}

bool JournalKeeper::setAside(bool copy) {
    const QString path = journalPath();
    const QString base =
        folder_ + QStringLiteral("zt40-") +
        QFileInfo(path).lastModified().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    QString target = base + QStringLiteral(".journal");
    for (int k = 2; QFileInfo::exists(target); ++k) {
        target = base + QStringLiteral("-%1.journal").arg(k);
    }
    if (copy ? QFile::copy(path, target) : QFile::rename(path, target)) {
        return true;
    }
    reportFailure(
        QStringLiteral("It cannot be kept as \"%1\".").arg(QDir::toNativeSeparators(target)));
    return false;
}

void JournalKeeper::reportFailure(const QString& reason) {
    if (failureShown_) {
        return;
    }
    failureShown_ = true;
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(ApplicationTitle),
                    fromCp1252(journalFailedText(ActiveLanguage))
                        .arg(QDir::toNativeSeparators(journalPath()), reason),
                    QMessageBox::Ok, nullptr);
    box.setObjectName("JournalErrorBox");
    box.exec();
}

void JournalKeeper::finish(bool clean) {
    if (clean || model_.count() == 0) {
        journal_.discard();
    } else {
        journal_.stop();
    }
    lock_.reset();
}

void JournalKeeper::exported(std::uint64_t mark) {
    exportedAt_ = std::max(exportedAt_, mark);
}

bool JournalKeeper::unsaved() const {
    return model_.count() > 0 && changes_ > exportedAt_;
}

} // namespace zt40
