// The language tables and the active text set.
#include "Languages.h"

#include <gtest/gtest.h>

#include <string>

namespace zt40::test {

namespace {

class LanguageTables : public ::testing::Test {
protected:
    void SetUp() override {
        FillLanguageTables();
        UiText.fill(nullptr);
    }
};

} // namespace

TEST_F(LanguageTables, EachTableHas26FilledEntriesAndEndsAtTheFirstEmptyOne) {
    for (const LanguageTable* table : {&EnglishTable, &GermanTable, &FrenchTable}) {
        for (int i = 0; i < FilledSlots; ++i) {
            EXPECT_NE((*table)[static_cast<std::size_t>(i)], nullptr) << "slot " << i;
        }
        for (int i = FilledSlots; i < LanguageTableSize; ++i) {
            EXPECT_EQ((*table)[static_cast<std::size_t>(i)], nullptr) << "slot " << i;
        }
        // Slot 25 is an empty text, not an empty entry.
        EXPECT_STREQ((*table)[25], "");
    }
}

TEST_F(LanguageTables, TextsAreWindows1252BytesAsTheUserReadsThem) {
    ASSERT_TRUE(copyLanguageToUiText(LanguageGerman));
    EXPECT_EQ(uiText(0), "Kann Port nicht \xF6"
                         "ffnen! Bitte Anwendung erneut starten!");
    EXPECT_EQ(uiText(14), "Daten l\xF6schen");
    EXPECT_EQ(uiText(22), "Kommentar \xE4ndern");
    EXPECT_EQ(uiText(23), "CTRGERM.ICO");

    ASSERT_TRUE(copyLanguageToUiText(LanguageFrench));
    EXPECT_EQ(uiText(2), "Vous \xEAtes s\xFBre?");
    EXPECT_EQ(uiText(9), "Donn\xE9"
                         "es");
    EXPECT_EQ(uiText(11), "Lumi\xE8re");
    EXPECT_EQ(uiText(14), "Effacer les don\xE9"
                          "es");
    EXPECT_EQ(uiText(18), "M\xE9moriser dans le presse-papiers et d\xE9marrer Excel");
    EXPECT_EQ(uiText(21), "Quitter");

    ASSERT_TRUE(copyLanguageToUiText(LanguageEnglish));
    EXPECT_EQ(uiText(0), "Couldn't open port! Please restart application to retry!");
    EXPECT_EQ(uiText(2), "Are you shure ?");
    EXPECT_EQ(uiText(23), "CTRUK.ICO");
    EXPECT_EQ(uiText(24), "Language");
}

TEST_F(LanguageTables, SharedTextsBetweenLanguages) {
    EXPECT_STREQ(EnglishTable[13], "Firmware :");
    EXPECT_STREQ(GermanTable[13], "Firmware :");
    EXPECT_STREQ(EnglishTable[3], "Question");
    EXPECT_STREQ(FrenchTable[3], "Question");
    EXPECT_STREQ(GermanTable[3], "Frage");
}

TEST_F(LanguageTables, AnUnknownLanguageNumberLeavesUiTextAsItWas) {
    EXPECT_FALSE(copyLanguageToUiText(3));
    EXPECT_EQ(uiText(4), ""); // still empty before any language was applied
    ASSERT_TRUE(copyLanguageToUiText(LanguageGerman));
    EXPECT_FALSE(copyLanguageToUiText(-1));
    EXPECT_EQ(uiText(4), "Datum");
    EXPECT_EQ(uiText(26), "");
    EXPECT_EQ(uiText(100), "");
    EXPECT_EQ(uiText(-1), "");
}

TEST_F(LanguageTables, HelpFilePerLanguage) {
    EXPECT_EQ(helpFileName(LanguageEnglish), "hilfe_e.chm");
    EXPECT_EQ(helpFileName(LanguageGerman), "hilfe.chm");
    EXPECT_EQ(helpFileName(LanguageFrench), "hilfe_e.chm");
    EXPECT_EQ(helpFileName(7), "");
}

TEST(OwnTexts, EachLanguageHasItsOwnAndAnUnknownNumberGetsEnglish) {
    const char* const english = "No spreadsheet program could be started. The data are on the "
                                "clipboard.";
    const struct {
        int language;
        const char* spreadsheetMissing;
        const char* back; // of the help window
    } cases[] = {
        {LanguageEnglish, english, "Back"},
        {LanguageGerman,
         "Es konnte kein Tabellenkalkulationsprogramm gestartet werden. Die Daten stehen in der "
         "Zwischenablage.",
         "Zur\xFC"
         "ck"},
        {LanguageFrench,
         "Aucun tableur n'a pu \xEAtre d\xE9marr\xE9. Les donn\xE9"
         "es sont dans le presse-papiers.",
         "Pr\xE9"
         "c\xE9"
         "dent"},
        {3, english, "Back"},
        {-1, english, "Back"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(exportTexts(c.language).spreadsheetMissing, c.spreadsheetMissing)
            << c.language;
        EXPECT_STREQ(helpTexts(c.language).back, c.back) << c.language;
    }
}

} // namespace zt40::test

