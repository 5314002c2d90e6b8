#include "Languages.h"

namespace zt40 {

LanguageTable EnglishTable{};
LanguageTable GermanTable{};
LanguageTable FrenchTable{};
LanguageTable UiText{};
std::int32_t ActiveLanguage = 0;

namespace {

// Slot by slot, one text per language in the order of Languages: English, German, French.
// Non-ASCII letters are Windows-1252 escapes, split from the following letters so that they
// are not read as hex digits.
using SlotTexts = std::array<const char*, LanguageCount>;

constexpr std::array<SlotTexts, FilledSlots> Texts{{
    {"Couldn't open port! Please restart application to retry!",
     "Kann Port nicht \xF6"
     "ffnen! Bitte Anwendung erneut starten!",
     "N'ouvre pas le port. Recomencer application s.v.p."},
    {"Connection lost", "Verbindung unterbrochen", "Jonction perdue"},
    {"Are you shure ?", "Sind Sie sicher ?", "Vous \xEAtes s\xFBre?"},
    {"Question", "Frage", "Question"},
    {"Date", "Datum", "Date"},
    {"Time", "Zeit", "Heure"},
    {"Mode", "Modus", "Mode"},
    {"Value", "Wert", "Valeur"},
    {"Comment", "Kommentar", "Commentaire"},
    {"Data", "Daten",
     "Donn\xE9"
     "es"},
    {"Measure", "Messen", "Mesurer"},
    {"Light", "Licht", "Lumi\xE8re"},
    {"Serial No.:", "Serien Nr.:", "No. de s\xE9rie :"},
    {"Firmware :", "Firmware :", "No. de version :"},
    {"Clear Data", "Daten l\xF6schen",
     "Effacer les don\xE9"
     "es"},
    {"Clear Line", "Zeile l\xF6schen", "Effacer la ligne"},
    {"Export", "Export", "Exportation"},
    {"Options", "Optionen", "Options"},
    {"Save to Clipboard and start Excel", "Speichern in Zwischenablage und Excel starten",
     "M\xE9moriser dans le presse-papiers et d\xE9marrer Excel"},
    {"Save to File", "Speichern in Datei", "M\xE9moriser dans un fichier"},
    {"Print", "Drucken", "Imprimer"},
    {"Cancel", "Abbrechen", "Quitter"},
    {"Change Comment For Data", "Kommentar \xE4ndern", "Changer le commentaire"},
    {"CTRUK.ICO", "CTRGERM.ICO", "CTRFRAN.ICO"},
    {"Language", "Sprache", "Langue"},
    {"", "", ""},
}};

// The tables by language number.
const std::array<LanguageTable*, LanguageCount> Tables{&EnglishTable, &GermanTable, &FrenchTable};

} // namespace

void FillLanguageTables() {
    for (std::size_t i = 0; i < Texts.size(); ++i) {
        for (std::size_t l = 0; l < Tables.size(); ++l) {
            (*Tables[l])[i] = Texts[i][l];
        }
    }
}

const LanguageTable* languageTable(int language) {
    return languageEntry(language) != nullptr ? Tables[static_cast<std::size_t>(language)]
                                              : nullptr;
}

bool copyLanguageToUiText(int language) {
    const LanguageTable* source = languageTable(language);
    if (source == nullptr) {
        return false;
    }
    for (std::size_t i = 0; i < source->size() && (*source)[i] != nullptr; ++i) {
        UiText[i] = (*source)[i];
    }
    return true;
}

std::string uiText(int slot) {
    if (slot < 0 || slot >= LanguageTableSize) {
        return {};
    }
    const char* text = UiText[static_cast<std::size_t>(slot)];
    return text == nullptr ? std::string() : std::string(text);
}

std::string helpFileName(int language) {
    const Language* entry = languageEntry(language);
    return entry != nullptr ? entry->helpFile : "";
}

const ExportTexts& exportTexts(int language) {
    static const ExportTexts english{
        "No spreadsheet program could be started. The data are on the clipboard."};
    static const ExportTexts german{"Es konnte kein Tabellenkalkulationsprogramm gestartet werden. "
                                    "Die Daten stehen in der Zwischenablage."};
    static const ExportTexts french{"Aucun tableur n'a pu \xEAtre d\xE9marr\xE9. "
                                    "Les donn\xE9"
                                    "es sont dans le presse-papiers."};
    return ofLanguage(language, english, german, french);
}

const StatisticsTexts& statisticsTexts(int language) {
    static const StatisticsTexts english{
        "n: ",   "Mean: ",  "Std. dev.: ",         "Min: ",
        "Max: ", "Range: ", "1 non-numeric value", "%1 non-numeric values"};
    static const StatisticsTexts german{"n: ",
                                        "Mittelwert: ",
                                        "Std.-Abw.: ",
                                        "Min: ",
                                        "Max: ",
                                        "Spannweite: ",
                                        "1 nicht numerischer Wert",
                                        "%1 nicht numerische Werte"};
    static const StatisticsTexts french{"n : ",
                                        "Moyenne : ",
                                        "\xC9"
                                        "cart type : ",
                                        "Min : ",
                                        "Max : ",
                                        "\xC9"
                                        "tendue : ",
                                        "1 valeur non num\xE9rique",
                                        "%1 valeurs non num\xE9riques"};
    return ofLanguage(language, english, german, french);
}

const TrendTexts& trendTexts(int language) {
    static const TrendTexts english{"Trend of the readings",
                                    "Readings",
                                    "Mean",
                                    "Mean \xB1 1 standard deviation",
                                    "Reading",
                                    "Save as PNG...",
                                    "Print...",
                                    "Save picture",
                                    "The picture could not be saved as \"%1\": %2",
                                    "The trend could not be printed on \"%1\"."};
    static const TrendTexts german{"Verlauf der Messwerte",
                                   "Messwerte",
                                   "Mittelwert",
                                   "Mittelwert \xB1 1 Standardabweichung",
                                   "Messung",
                                   "Als PNG speichern...",
                                   "Drucken...",
                                   "Bild speichern",
                                   "Das Bild konnte nicht als \"%1\" gespeichert werden: %2",
                                   "Der Verlauf konnte nicht auf \"%1\" gedruckt werden."};
    static const TrendTexts french{"\xC9volution des mesures",
                                   "Mesures",
                                   "Moyenne",
                                   "Moyenne \xB1 1 \xE9"
                                   "cart type",
                                   "Mesure",
                                   "Enregistrer en PNG...",
                                   "Imprimer...",
                                   "Enregistrer l'image",
                                   "L'image n'a pas pu \xEAtre enregistr\xE9"
                                   "e sous \xAB %1 \xBB : %2",
                                   "L'\xE9volution n'a pas pu \xEAtre imprim\xE9"
                                   "e sur \xAB %1 \xBB."};
    return ofLanguage(language, english, german, french);
}

const HelpTexts& helpTexts(int language) {
    static const HelpTexts english{"Back", "Forward", "Contents",
                                   "The help pages could not be found in:"};
    static const HelpTexts german{"Zur\xFC"
                                  "ck",
                                  "Vor", "Inhalt", "Die Hilfeseiten wurden nicht gefunden in:"};
    static const HelpTexts french{"Pr\xE9"
                                  "c\xE9"
                                  "dent",
                                  "Suivant", "Sommaire",
                                  "Les pages d'aide sont introuvables dans :"};
    return ofLanguage(language, english, german, french);
}

} // namespace zt40
