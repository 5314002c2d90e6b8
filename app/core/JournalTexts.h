// Texts of the journal and of the closing question, in English, German and French.
// Windows-1252 bytes like the language tables, kept apart from them so that their slots stay
// as they are. %1, %2, ... are filled in by the caller.
#pragma once

namespace zt40 {

struct JournalTexts {
    // Restore what a run that did not end cleanly left behind? %1 the number of readings,
    // %2 and %3 date and time of the first of them.
    const char* restoreOne;
    const char* restoreMany;
    // Another program holds the journal's lock.
    const char* locked;
    // A lock that cannot be checked: take it over? %1 the lock file, %2 why it cannot be
    // checked, one of the two below.
    const char* takeOverLock;
    const char* lockEmptyOrForeign;
    const char* lockUnreadable;
    // The old journal was kept aside, %1 its full path: nothing restored from it, only the
    // readings before a damaged record, or nothing because the restore of a damaged one was
    // declined.
    const char* keptAsideUnreadable;
    const char* keptAsideRemainder;
    const char* keptAsideNotRestored;
    // %1 the journal file, %2 one of the reasons below or the system's reason.
    const char* failed;
    const char* folderNotMade;
    const char* lockNotMade;
    const char* lockNotMadeBecause; // %1 the system's reason
    const char* notKeptAside;       // %1 the name meant for the old journal
    // Closing the main window while readings have not been exported since their last change.
    const char* unsavedClose;
};
// The texts of a language; English for a number outside 0 to 2.
const JournalTexts& journalTexts(int language);

} // namespace zt40
