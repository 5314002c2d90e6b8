#include "JudgementTexts.h"

#include "Languages.h"

namespace zt40 {

const LimitsTexts& limitsTexts(int language) {
    static const LimitsTexts english{
        "Limits",
        "No limits",
        "Lower and upper limit",
        "Nominal value and tolerance",
        "Lower limit:",
        "Upper limit:",
        "Nominal value:",
        "Tolerance (\xB1):",
        "Readings per sample:",
        "Off",
        "Cancel",
        "%1 \"%2\"\nThis is not a number. Please enter a number such as %3.",
        "Please enter a lower limit, an upper limit or both.",
        "Please enter both the nominal value and the tolerance.",
        "The lower limit must be smaller than the upper limit.",
        "The lower and the upper limit must not be equal.",
        "The tolerance must be greater than zero.",
        "The limits are too far apart. Please enter smaller numbers.",
    };
    static const LimitsTexts german{
        "Grenzwerte",
        "Keine Grenzwerte",
        "Untere und obere Grenze",
        "Nennwert und Toleranz",
        "Untere Grenze:",
        "Obere Grenze:",
        "Nennwert:",
        "Toleranz (\xB1):",
        "Messungen je Probe:",
        "Aus",
        "Abbrechen",
        "%1 \x84%2\x93\nDas ist keine Zahl. Bitte geben Sie eine Zahl wie %3 ein.",
        "Bitte geben Sie eine untere Grenze, eine obere Grenze oder beide ein.",
        "Bitte geben Sie den Nennwert und die Toleranz ein.",
        "Die untere Grenze muss kleiner als die obere Grenze sein.",
        "Untere und obere Grenze d\xFCrfen nicht gleich sein.",
        "Die Toleranz muss gr\xF6\xDF"
        "er als null sein.",
        "Die Grenzen liegen zu weit auseinander. Bitte geben Sie kleinere Zahlen ein.",
    };
    static const LimitsTexts french{
        "Limites",
        "Aucune limite",
        "Limites inf\xE9rieure et sup\xE9rieure",
        "Valeur nominale et tol\xE9rance",
        "Limite inf\xE9rieure :",
        "Limite sup\xE9rieure :",
        "Valeur nominale :",
        "Tol\xE9rance (\xB1) :",
        "Mesures par \xE9"
        "chantillon :",
        "D\xE9sactiv\xE9",
        "Annuler",
        "%1 \xAB %2 \xBB\nCe n'est pas un nombre. Veuillez saisir un nombre tel que %3.",
        "Veuillez saisir une limite inf\xE9rieure, une limite sup\xE9rieure ou les deux.",
        "Veuillez saisir la valeur nominale et la tol\xE9rance.",
        "La limite inf\xE9rieure doit \xEAtre plus petite que la limite sup\xE9rieure.",
        "Les limites inf\xE9rieure et sup\xE9rieure ne doivent pas \xEAtre \xE9gales.",
        "La tol\xE9rance doit \xEAtre sup\xE9rieure \xE0 z\xE9ro.",
        "Les limites sont trop \xE9loign\xE9"
        "es l'une de l'autre. Veuillez saisir des nombres plus petits.",
    };
    return ofLanguage(language, english, german, french);
}

const SettingsFileTexts& settingsFileTexts(int language) {
    static const SettingsFileTexts english{
        "The settings file \"%1\" holds a limit that cannot be read: %2\n"
        "Judging against limits is off until limits are entered again in the Limits window."};
    static const SettingsFileTexts german{
        "Die Einstellungsdatei \x84%1\x93 enth\xE4lt einen Grenzwert, der nicht gelesen werden "
        "kann: %2\nDie Bewertung nach Grenzwerten ist ausgeschaltet, bis im Fenster \x84"
        "Grenzwerte\x93 wieder Grenzwerte eingegeben werden."};
    static const SettingsFileTexts french{
        "Le fichier de r\xE9glages \xAB %1 \xBB contient une limite illisible : %2\n"
        "Le jugement selon les limites est d\xE9sactiv\xE9 jusqu'\xE0 ce que des limites "
        "soient de nouveau saisies dans la fen\xEAtre \xAB Limites \xBB."};
    return ofLanguage(language, english, german, french);
}

const VerdictTexts& verdictTexts(int language) {
    static const VerdictTexts english{
        "within limits",
        "too high",
        "too low",
        "Above the upper limit of %1",
        "Below the lower limit of %1",
        "Within limits: %1 of %2",
        "Cp: ",
        "Cpk: ",
        "Sample %1 (%2/%3): %4",
        "Lower limit",
        "Upper limit",
        "Outside the limits",
        "Sample means",
        "Reading number",
        "Time of day",
        "Time of day",
    };
    static const VerdictTexts german{
        "in Ordnung",
        "zu hoch",
        "zu niedrig",
        "\xDC"
        "ber der oberen Grenze von %1",
        "Unter der unteren Grenze von %1",
        "In Ordnung: %1 von %2",
        "Cp: ",
        "Cpk: ",
        "Probe %1 (%2/%3): %4",
        "Untere Grenze",
        "Obere Grenze",
        "Au\xDF"
        "erhalb der Grenzen",
        "Mittelwerte der Proben",
        "Nummer der Messung",
        "Uhrzeit",
        "Uhrzeit",
    };
    static const VerdictTexts french{
        "conforme",
        "trop \xE9lev\xE9",
        "trop faible",
        "Au-dessus de la limite sup\xE9rieure de %1",
        "En dessous de la limite inf\xE9rieure de %1",
        "Conformes : %1 sur %2",
        "Cp : ",
        "Cpk : ",
        "\xC9"
        "chantillon %1 (%2/%3) : %4",
        "Limite inf\xE9rieure",
        "Limite sup\xE9rieure",
        "Hors limites",
        "Moyennes des \xE9"
        "chantillons",
        "Num\xE9ro de mesure",
        "Heure",
        "Heure",
    };
    return ofLanguage(language, english, german, french);
}

const ReportTexts& reportTexts(int language) {
    static const ReportTexts english{
        "Report...",
        "Measurement report",
        "Program:",
        "Instrument:",
        "Created:",
        "User:",
        "Limits:",
        "none",
        "Lower limit:",
        "Upper limit:",
        "Nominal value %1 \xB1 %2",
        "Readings per sample:",
        "off",
        "Statistics of all readings",
        "Samples",
        "Sample",
        "Readings",
        "Mean",
        "Std. dev.",
        "Min",
        "Max",
        "Verdict",
        "Trend",
        "List of readings",
        "Page %1 of %2",
        "Save report",
        "The report could not be saved as \"%1\": %2",
    };
    static const ReportTexts german{
        "Bericht...",
        "Messbericht",
        "Programm:",
        "Messger\xE4t:",
        "Erstellt:",
        "Benutzer:",
        "Grenzwerte:",
        "keine",
        "Untere Grenze:",
        "Obere Grenze:",
        "Nennwert %1 \xB1 %2",
        "Messungen je Probe:",
        "aus",
        "Statistik aller Messwerte",
        "Proben",
        "Probe",
        "Messungen",
        "Mittelwert",
        "Std.-Abw.",
        "Min",
        "Max",
        "Bewertung",
        "Verlauf",
        "Liste der Messwerte",
        "Seite %1 von %2",
        "Bericht speichern",
        "Der Bericht konnte nicht als \x84%1\x93 gespeichert werden: %2",
    };
    static const ReportTexts french{
        "Rapport...",
        "Rapport de mesure",
        "Programme :",
        "Appareil :",
        "Cr\xE9\xE9 le :",
        "Utilisateur :",
        "Limites :",
        "aucune",
        "Limite inf\xE9rieure :",
        "Limite sup\xE9rieure :",
        "Valeur nominale %1 \xB1 %2",
        "Mesures par \xE9"
        "chantillon :",
        "d\xE9sactiv\xE9",
        "Statistiques de toutes les mesures",
        "\xC9"
        "chantillons",
        "\xC9"
        "chantillon",
        "Mesures",
        "Moyenne",
        "\xC9"
        "cart type",
        "Min",
        "Max",
        "R\xE9sultat",
        "\xC9volution",
        "Liste des mesures",
        "Page %1 sur %2",
        "Enregistrer le rapport",
        "Le rapport n'a pas pu \xEAtre enregistr\xE9 sous \xAB %1 \xBB : %2",
    };
    return ofLanguage(language, english, german, french);
}

} // namespace zt40
