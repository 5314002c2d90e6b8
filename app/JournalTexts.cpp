#include "JournalTexts.h"

#include "Languages.h"

namespace zt40 {

std::string journalRestoreQuestion(int language, int readings) {
    const bool one = readings == 1;
    switch (language) {
    case LanguageGerman:
        return one ? "Das Programm wurde zuletzt nicht ordnungsgem\xE4\xDF beendet: %1 Messwert "
                     "vom %2 %3 wurde nicht gesichert. Wiederherstellen?"
                   : "Das Programm wurde zuletzt nicht ordnungsgem\xE4\xDF beendet: %1 Messwerte "
                     "(der erste vom %2 %3) wurden nicht gesichert. Wiederherstellen?";
    case LanguageFrench:
        return one ? "Le programme ne s'est pas termin\xE9 correctement la derni\xE8re fois : "
                     "%1 mesure du %2 %3 n'a pas \xE9t\xE9 enregistr\xE9"
                     "e. La restaurer ?"
                   : "Le programme ne s'est pas termin\xE9 correctement la derni\xE8re fois : "
                     "%1 mesures (la premi\xE8re du %2 %3) n'ont pas \xE9t\xE9 enregistr\xE9"
                     "es. Les restaurer ?";
    default:
        return one ? "The program did not end properly last time: %1 reading of %2 %3 was not "
                     "saved. Restore it?"
                   : "The program did not end properly last time: %1 readings (the first of "
                     "%2 %3) were not saved. Restore them?";
    }
}

std::string journalLockedText(int language) {
    switch (language) {
    case LanguageGerman:
        return "Ein anderes ZT 40-Programm l\xE4uft bereits und f\xFChrt das Journal. Dieses "
               "Programm f\xFChrt keines: Seine Messwerte sind nicht gegen einen Absturz "
               "gesichert.";
    case LanguageFrench:
        return "Un autre programme ZT 40 est d\xE9j\xE0 en cours et tient le journal. Ce "
               "programme n'en tient aucun : ses mesures ne sont pas prot\xE9g\xE9"
               "es contre un plantage.";
    default:
        return "Another ZT 40 program is already running and keeps the journal. This program "
               "keeps none: its readings are not protected against a crash.";
    }
}

std::string journalFailedText(int language) {
    switch (language) {
    case LanguageGerman:
        return "Das Journal \"%1\" kann nicht geschrieben werden. %2\n"
               "Die Messung l\xE4uft weiter, aber neue Messwerte sind bis zum n\xE4"
               "chsten Start nicht gegen einen Absturz gesichert. Exportieren Sie sie, um sie "
               "zu behalten.";
    case LanguageFrench:
        return "Le journal \xAB %1 \xBB ne peut pas \xEAtre \xE9"
               "crit. %2\n"
               "La mesure continue, mais les nouvelles mesures ne sont pas prot\xE9g\xE9"
               "es contre un plantage jusqu'au prochain d\xE9marrage. Exportez-les pour les "
               "conserver.";
    default:
        return "The journal \"%1\" cannot be written. %2\n"
               "Measuring goes on, but new readings are not protected against a crash until "
               "the next start. Export them to keep them.";
    }
}

std::string unsavedCloseQuestion(int language) {
    switch (language) {
    case LanguageGerman:
        return "Die Liste enth\xE4lt Messwerte, die seit ihrer letzten \xC4nderung nicht "
               "exportiert wurden. Programm trotzdem beenden und diese Messwerte verwerfen?";
    case LanguageFrench:
        return "La liste contient des mesures qui n'ont pas \xE9t\xE9 export\xE9"
               "es depuis leur derni\xE8re modification. Quitter quand m\xEAme le programme et "
               "abandonner ces mesures ?";
    default:
        return "The list holds readings that have not been exported since they were taken or "
               "changed. Close the program anyway and discard them?";
    }
}

} // namespace zt40
