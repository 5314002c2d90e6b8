// The languages: the three language tables, the active text set UiText and the active
// language number, and what else each language brings (its help, Qt's own translation, its
// name in the language dialog). Every text here is Windows-1252 bytes; it becomes a QString
// only on a control.
//
// A further language is one more entry in Languages (and LanguageCount), one more text in the
// slot table and in each of our own text sets (the compiler names every set that lacks it),
// its flag icon and its help file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zt40 {

inline constexpr int LanguageTableSize = 100;
inline constexpr int FilledSlots = 26; // slots 0 to 25; slot 25 is an empty text

// One text reference per slot; nullptr is an empty entry and ends the table.
using LanguageTable = std::array<const char*, LanguageTableSize>;

inline constexpr int LanguageEnglish = 0;
inline constexpr int LanguageGerman = 1;
inline constexpr int LanguageFrench = 2;
inline constexpr int LanguageCount = 3;

// What a language brings besides its table.
struct Language {
    const char* name;          // its item in the language dialog
    const char* helpFile;      // the compiled help file
    const char* helpFolder;    // the help window's pages
    const char* qtTranslation; // Qt's own dialogs; nullptr: Qt's own English
};

// By language number.
inline constexpr std::array<Language, LanguageCount> Languages{{
    {"English", "hilfe_e.chm", "help/en/", nullptr},
    {"German", "hilfe.chm", "help/de/", "qtbase_de"},
    // No French help yet: the English one.
    {"Francais", "hilfe_e.chm", "help/en/", "qtbase_fr"},
}};

// The entry of a language number; nullptr outside 0 to LanguageCount - 1.
inline const Language* languageEntry(int number) {
    return number >= 0 && number < LanguageCount ? &Languages[static_cast<std::size_t>(number)]
                                                 : nullptr;
}

// Slots read by the windows.
namespace Slot {
inline constexpr int CannotOpen = 0;
inline constexpr int ConnectionLost = 1;
inline constexpr int Question = 2;
inline constexpr int QuestionTitle = 3;
inline constexpr int FirstColumn = 4; // 4 to 8: date, time, mode, value, comment
inline constexpr int Comment = 8;
inline constexpr int DataCaption = 9;
inline constexpr int Measure = 10;
inline constexpr int Light = 11;
inline constexpr int SerialCaption = 12;
inline constexpr int FirmwareCaption = 13;
inline constexpr int ClearData = 14;
inline constexpr int ClearLine = 15;
inline constexpr int Export = 16;
inline constexpr int ExportOptions = 17;
inline constexpr int FirstExportChoice = 18; // 18 to 20: clipboard and spreadsheet, file, print
inline constexpr int Cancel = 21;
inline constexpr int CommentTitle = 22;
inline constexpr int FlagIcon = 23;
inline constexpr int LanguageButton = 24;
} // namespace Slot

extern LanguageTable EnglishTable;
extern LanguageTable GermanTable;
extern LanguageTable FrenchTable;
extern LanguageTable UiText;
extern std::int32_t ActiveLanguage;

// Fills entries 0 to 25 of the three tables.
void FillLanguageTables();

// The table of a language number, nullptr for a number outside 0 to 2.
const LanguageTable* languageTable(int language);

// Copies the table of `language` into UiText up to its first empty entry. For a number
// outside 0 to 2 UiText keeps what it held. Returns whether a table was chosen.
bool copyLanguageToUiText(int language);

// The text of a UiText slot; an empty entry or a slot out of range reads as "".
std::string uiText(int slot);

// Help file of a language (Languages' helpFile); "" for a number outside 0 to 2.
std::string helpFileName(int language);

// Our own texts come apart from the tables, so that their 26 slots stay as they are: one
// struct per topic, the texts of a language from a function of the language number (English
// for a number outside the languages), placeholders %1, %2 filled by the caller.

// The text set of a language number, from one set per language in the order of Languages;
// English for a number outside them.
template <typename Texts, typename... Others>
const Texts& ofLanguage(int language, const Texts& english, const Others&... others) {
    static_assert(sizeof...(Others) + 1 == LanguageCount, "one text set per language");
    const std::array<const Texts*, LanguageCount> sets{&english, &others...};
    return language >= 0 && language < LanguageCount ? *sets[static_cast<std::size_t>(language)]
                                                     : english;
}

// Our own texts of the export.
struct ExportTexts {
    const char* spreadsheetMissing; // no spreadsheet program could be started
};
const ExportTexts& exportTexts(int language);

// Our own texts of the statistics line under the list. Each caption carries its own
// punctuation (French sets a blank before the colon).
struct StatisticsTexts {
    const char* count;
    const char* mean;
    const char* deviation;
    const char* minimum;
    const char* maximum;
    const char* range;
    const char* nonNumericOne;  // one value that is no number
    const char* nonNumericMany; // %1 values that are no number
};
const StatisticsTexts& statisticsTexts(int language);

// Our own texts of the trend window and the button that opens it.
struct TrendTexts {
    const char* title; // window, plot and the button's tooltip
    const char* readings;
    const char* mean;
    const char* band;
    const char* readingNumber; // the horizontal axis
    const char* save;
    const char* print;
    const char* saveTitle;
    const char* saveError;  // %1: the file, %2: why
    const char* printError; // %1: the printer or file
};
const TrendTexts& trendTexts(int language);

// Our own texts of the help window, and the message when its pages are missing.
struct HelpTexts {
    const char* back;
    const char* forward;
    const char* contents;
    const char* pagesMissing; // followed by the folder looked in
};
const HelpTexts& helpTexts(int language);

} // namespace zt40
