#include "JournalTexts.h"

#include "Languages.h"

namespace zt40 {

const JournalTexts& journalTexts(int language) {
    static const JournalTexts english{
        .restoreOne = "The program did not end properly last time: %1 reading of %2 %3 was not "
                      "saved. Restore it?",
        .restoreMany = "The program did not end properly last time: %1 readings (the first of %2 "
                       "%3) were not saved. Restore them?",
        .locked = "Another ZT 40 program is already running and keeps the journal. This program "
                  "keeps none: its readings are not protected against a crash.",
        .takeOverLock =
            "The journal is locked by the file \"%1\", but the lock cannot be checked: %2 "
            "If no other ZT 40 program uses this folder, the lock can be taken over. Take it "
            "over? With No, this program keeps no journal.",
        .lockEmptyOrForeign = "the file is empty or was made on another computer.",
        .lockUnreadable = "the file cannot be read.",
        .keptAsideUnreadable =
            "The journal of the last run cannot be read: it is damaged or of an unknown "
            "kind, and no readings could be restored from it. It has been kept as \"%1\".",
        .keptAsideRemainder =
            "The journal of the last run is damaged: only the readings before the damaged "
            "place were restored. The whole journal has been kept as \"%1\".",
        .keptAsideNotRestored = "The journal of the last run is damaged: its readings were not "
                                "restored. The whole journal has been kept as \"%1\".",
        .failed = "The journal \"%1\" cannot be written. %2\nMeasuring goes on, but new readings "
                  "are not protected against a crash until the next start. Export them to "
                  "keep them.",
        .folderNotMade = "The folder cannot be made.",
        .lockNotMade = "The lock file cannot be made.",
        .lockNotMadeBecause = "The lock file cannot be made: %1.",
        .notKeptAside = "It cannot be kept as \"%1\".",
        .unsavedClose = "The list holds readings that have not been exported since they were taken "
                        "or changed. Close the program anyway and discard them?",
    };
    static const JournalTexts german{
        .restoreOne = "Das Programm wurde zuletzt nicht ordnungsgem\xE4\xDF beendet: %1 Messwert "
                      "vom %2 um %3 wurde nicht gesichert. Wiederherstellen?",
        .restoreMany = "Das Programm wurde zuletzt nicht ordnungsgem\xE4\xDF beendet: %1 Messwerte "
                       "(der erste vom %2 um %3) wurden nicht gesichert. Wiederherstellen?",
        .locked = "Ein anderes ZT-40-Programm l\xE4uft bereits und f\xFChrt das Journal. Dieses "
                  "Programm f\xFChrt keines: Seine Messwerte sind nicht gegen einen Absturz "
                  "gesichert.",
        .takeOverLock =
            "Das Journal ist durch die Datei \x84%1\x93 gesperrt, aber die Sperre l\xE4sst "
            "sich nicht pr\xFC"
            "fen: %2 "
            "Wenn kein anderes ZT-40-Programm diesen Ordner verwendet, kann die Sperre "
            "\xFC"
            "bernommen werden. Sperre \xFC"
            "bernehmen? Bei \x84Nein\x93 f\xFChrt dieses Programm kein Journal.",
        .lockEmptyOrForeign = "Die Datei ist leer oder wurde auf einem anderen Computer angelegt.",
        .lockUnreadable = "Die Datei kann nicht gelesen werden.",
        .keptAsideUnreadable =
            "Das Journal des letzten Programmlaufs kann nicht gelesen werden: Es ist "
            "besch\xE4"
            "digt oder von unbekannter Art, und es konnten keine Messwerte daraus "
            "wiederhergestellt "
            "werden. Es wurde als \x84%1\x93 aufbewahrt.",
        .keptAsideRemainder =
            "Das Journal des letzten Programmlaufs ist besch\xE4"
            "digt: Nur die Messwerte vor der besch\xE4"
            "digten Stelle wurden wiederhergestellt. Das vollst\xE4ndige Journal wurde "
            "als \x84%1\x93 aufbewahrt.",
        .keptAsideNotRestored = "Das Journal des letzten Programmlaufs ist besch\xE4"
                                "digt: Seine Messwerte wurden nicht wiederhergestellt. Das "
                                "vollst\xE4ndige Journal wurde als \x84%1\x93 aufbewahrt.",
        .failed = "Das Journal \x84%1\x93 kann nicht geschrieben werden. %2\nDie Messung l\xE4uft "
                  "weiter, aber neue Messwerte sind bis zum n\xE4"
                  "chsten Start nicht gegen einen Absturz gesichert. Exportieren Sie sie, "
                  "um sie zu behalten.",
        .folderNotMade = "Der Ordner kann nicht angelegt werden.",
        .lockNotMade = "Die Sperrdatei kann nicht angelegt werden.",
        .lockNotMadeBecause = "Die Sperrdatei kann nicht angelegt werden: %1.",
        .notKeptAside = "Es kann nicht als \x84%1\x93 aufbewahrt werden.",
        .unsavedClose =
            "Die Liste enth\xE4lt Messwerte, die seit ihrer letzten \xC4nderung nicht "
            "exportiert wurden. Programm trotzdem beenden und diese Messwerte verwerfen?",
    };
    static const JournalTexts french{
        .restoreOne = "Le programme ne s'est pas termin\xE9 correctement la derni\xE8re fois : "
                      "%1 mesure du %2 \xE0 %3 n'a pas \xE9t\xE9 enregistr\xE9"
                      "e. La restaurer ?",
        .restoreMany = "Le programme ne s'est pas termin\xE9 correctement la derni\xE8re fois : "
                       "%1 mesures (la premi\xE8re du %2 \xE0 %3) n'ont pas \xE9t\xE9 enregistr\xE9"
                       "es. Les restaurer ?",
        .locked = "Un autre programme ZT 40 est d\xE9j\xE0 en cours d'ex\xE9"
                  "cution et tient le journal. Ce programme n'en tient aucun : ses mesures "
                  "ne sont pas prot\xE9g\xE9"
                  "es contre un plantage.",
        .takeOverLock =
            "Le journal est verrouill\xE9 par le fichier \xAB %1 \xBB, mais ce verrou "
            "ne peut pas \xEAtre v\xE9rifi\xE9 : %2 Si aucun autre programme ZT 40 n'utilise "
            "ce dossier, le verrou peut \xEAtre repris. Le reprendre ? Avec \xAB Non "
            "\xBB, ce programme ne tient aucun journal.",
        .lockEmptyOrForeign =
            "le fichier est vide ou a \xE9t\xE9 cr\xE9\xE9 sur un autre ordinateur.",
        .lockUnreadable = "le fichier ne peut pas \xEAtre lu.",
        .keptAsideUnreadable =
            "Le journal de la derni\xE8re ex\xE9"
            "cution ne peut pas \xEAtre lu : il est endommag\xE9 ou d'un type inconnu, "
            "et aucune mesure n'a pu en \xEAtre restaur\xE9"
            "e. Il a \xE9t\xE9 conserv\xE9 sous \xAB %1 \xBB.",
        .keptAsideRemainder =
            "Le journal de la derni\xE8re ex\xE9"
            "cution est endommag\xE9 : seules les mesures ant\xE9rieures \xE0 l'endroit "
            "endommag\xE9 ont \xE9t\xE9 restaur\xE9"
            "es. Le journal complet a \xE9t\xE9 conserv\xE9 sous \xAB %1 \xBB.",
        .keptAsideNotRestored =
            "Le journal de la derni\xE8re ex\xE9"
            "cution est endommag\xE9 : ses mesures n'ont pas \xE9t\xE9 restaur\xE9"
            "es. Le journal complet a \xE9t\xE9 conserv\xE9 sous \xAB %1 \xBB.",
        .failed =
            "Le journal \xAB %1 \xBB ne peut pas \xEAtre \xE9"
            "crit. %2\nLa mesure continue, mais les nouvelles mesures ne sont pas prot\xE9g\xE9"
            "es contre un plantage jusqu'au prochain d\xE9marrage. Exportez-les pour "
            "les conserver.",
        .folderNotMade = "Le dossier ne peut pas \xEAtre cr\xE9\xE9.",
        .lockNotMade = "Le fichier de verrou ne peut pas \xEAtre cr\xE9\xE9.",
        .lockNotMadeBecause = "Le fichier de verrou ne peut pas \xEAtre cr\xE9\xE9 : %1.",
        .notKeptAside = "Il ne peut pas \xEAtre conserv\xE9 sous \xAB %1 \xBB.",
        .unsavedClose =
            "La liste contient des mesures qui n'ont pas \xE9t\xE9 export\xE9"
            "es depuis leur derni\xE8re modification. Quitter quand m\xEAme le programme "
            "et abandonner ces mesures ?",
    };
    return ofLanguage(language, english, german, french);
}

} // namespace zt40
