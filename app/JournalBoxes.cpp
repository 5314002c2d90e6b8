#include "JournalBoxes.h"

#include "Application.h"
#include "Controls.h"
#include "Cp1252.h"
#include "JournalTexts.h"
#include "Languages.h"

namespace zt40 {
namespace {

const JournalTexts& texts() {
    return journalTexts(ActiveLanguage);
}

void tell(const QString& text, const char* objectName) {
    tellWarning(nullptr, QString::fromLatin1(ApplicationTitle), text, objectName);
}

} // namespace

bool JournalBoxes::restore(int readings, std::string_view date, std::string_view time) {
    const char* question = readings == 1 ? texts().restoreOne : texts().restoreMany;
    return askYesNo(platform::fromCp1252(uiText(Slot::QuestionTitle)),
                    platform::fromCp1252(question).arg(QString::number(readings),
                                                       platform::fromCp1252(date),
                                                       platform::fromCp1252(time)),
                    "JournalRestoreBox");
}

bool JournalBoxes::takeOverLock(const QString& lockFile, JournalLockDoubt why) {
    const char* doubt =
        why == JournalLockDoubt::Unreadable ? texts().lockUnreadable : texts().lockEmptyOrForeign;
    return askYesNo(
        platform::fromCp1252(uiText(Slot::QuestionTitle)),
        platform::fromCp1252(texts().takeOverLock).arg(lockFile, platform::fromCp1252(doubt)),
        "JournalLockTakeOverBox");
}

void JournalBoxes::tellLocked() {
    tell(platform::fromCp1252(texts().locked), "JournalLockedBox");
}

void JournalBoxes::tellKeptAside(JournalKeptAside what, const QString& keptAs) {
    const char* text = nullptr;
    switch (what) {
    case JournalKeptAside::Unreadable:
        text = texts().keptAsideUnreadable;
        break;
    case JournalKeptAside::Remainder:
        text = texts().keptAsideRemainder;
        break;
    case JournalKeptAside::NotRestored:
        text = texts().keptAsideNotRestored;
        break;
    }
    tell(platform::fromCp1252(text).arg(keptAs), "JournalKeptAsideBox");
}

void JournalBoxes::tellFailure(const QString& journal, JournalFailure why, const QString& detail) {
    QString reason;
    switch (why) {
    case JournalFailure::FolderNotMade:
        reason = platform::fromCp1252(texts().folderNotMade);
        break;
    case JournalFailure::LockNotMade:
        reason = detail.isEmpty() ? platform::fromCp1252(texts().lockNotMade)
                                  : platform::fromCp1252(texts().lockNotMadeBecause).arg(detail);
        break;
    case JournalFailure::NotKeptAside:
        reason = platform::fromCp1252(texts().notKeptAside).arg(detail);
        break;
    case JournalFailure::System:
        reason = detail;
        break;
    }
    tell(platform::fromCp1252(texts().failed).arg(journal, reason), "JournalErrorBox");
}

} // namespace zt40
