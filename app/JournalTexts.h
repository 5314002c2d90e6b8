// Texts of the journal and of the closing question, in English, German and French.
// Windows-1252 bytes like the language tables, kept apart from them so that their slots stay
// as they are. %1, %2, ... are filled in by the caller.
#pragma once

#include <string>

namespace zt40 {

// %1 the number of readings, %2 and %3 date and time of the first of them.
std::string journalRestoreQuestion(int language, int readings);
// Another program holds the journal's lock.
std::string journalLockedText(int language);
// %1 the journal file, %2 the system's reason.
std::string journalFailedText(int language);
// Closing the main window while readings have not been exported since their last change.
std::string unsavedCloseQuestion(int language);

} // namespace zt40
