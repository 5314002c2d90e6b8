// The Limits window driven for real (typed entries, OK, refusals answered), and the sections
// it keeps in the settings file.
#include "AppTestSupport.h"
#include "JudgementPanel.h"
#include "Unit1.h"

#include "JudgementSettings.h"
#include "Languages.h"
#include "LimitsWindow.h"
#include "ProfileFile.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

using namespace zt40;
using namespace zt40::test;

namespace {

constexpr auto none = std::nullopt;

struct Entry {
    const char* what;
    int language;
    char separator;
    LimitKind kind;
    const char* lower;
    const char* upper;
    const char* nominal;
    const char* tolerance;
    const char* samples;
    const char* refusal; // the message, or nullptr when OK is taken
    LimitSettings accepted;
    int sampleSize;
};

void typeInto(QLineEdit* edit, const char* text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, QString::fromUtf8(text));
}

// Types the entry into the window, clicks OK and answers a refusal; returns the message shown
// ("" when none) and whether the window closed with OK.
std::pair<QString, bool> enter(LimitsWindow& window, const Entry& e) {
    QString message;
    onModal([&](QWidget* modal) {
        EXPECT_EQ(modal, &window);
        QRadioButton* choices[] = {window.offChoice, window.boundsChoice, window.nominalChoice};
        choices[static_cast<int>(e.kind)]->click();
        for (const auto& [edit, typed] :
             {std::pair{window.lowerEdit, e.lower}, std::pair{window.upperEdit, e.upper},
              std::pair{window.nominalEdit, e.nominal},
              std::pair{window.toleranceEdit, e.tolerance}}) {
            if (typed != nullptr) {
                typeInto(edit, typed);
            }
        }
        window.sampleSizeBox->selectAll();
        QTest::keyClicks(window.sampleSizeBox, QString::fromUtf8(e.samples));
        if (e.refusal != nullptr) {
            onModal([&](QWidget* box) {
                message = static_cast<QMessageBox*>(box)->text();
                clickButton(box, "OK");
                // Refused, the window stays open for a correction; here it is left.
                QTimer::singleShot(0, &window, [&window] {
                    EXPECT_TRUE(window.isVisible());
                    window.reject();
                });
            });
        }
        window.buttons->button(QDialogButtonBox::Ok)->click();
    });
    const bool ok = window.exec() == QDialog::Accepted;
    return {message, ok};
}

} // namespace

TEST(LimitsWindow, TypedEntriesAreCheckedAndRefusedWithAMessage) {
    FillLanguageTables();
    const LimitSettings off{};
    const std::string huge = "1" + std::string(308, '0'); // 1e308 without an exponent
    const std::string minusHuge = "-" + huge;
    const Entry entries[] = {
        {"bounds",
         0,
         ',',
         LimitKind::Bounds,
         "12,0",
         "14,5",
         "",
         "",
         "5",
         nullptr,
         {LimitKind::Bounds, 12.0, 14.5, none, none},
         5},
        {"one-sided",
         0,
         '.',
         LimitKind::Bounds,
         "",
         "14.5",
         "",
         "",
         "1",
         nullptr,
         {LimitKind::Bounds, none, 14.5, none, none},
         0},
        {"nominal",
         0,
         ',',
         LimitKind::Nominal,
         "",
         "",
         "80",
         "2,5",
         "20",
         nullptr,
         {LimitKind::Nominal, none, none, 80.0, 2.5},
         20},
        {"off", 0, ',', LimitKind::Off, nullptr, nullptr, nullptr, nullptr, "3", nullptr, off, 3},
        {"other separator", 0, ',', LimitKind::Bounds, "12.0", "14", "", "", "1",
         "Lower limit: \"12.0\"\nThis is not a number. Please enter a number such as 12,5.", off,
         0},
        {"grouping", 0, '.', LimitKind::Bounds, "1", "1,000", "", "", "1",
         "Upper limit: \"1,000\"\nThis is not a number. Please enter a number such as 12.5.", off,
         0},
        {"reversed", 0, ',', LimitKind::Bounds, "14", "12", "", "", "1",
         "The lower limit must be smaller than the upper limit.", off, 0},
        {"equal", 0, ',', LimitKind::Bounds, "12", "12,0", "", "", "1",
         "The lower and the upper limit must not be equal.", off, 0},
        {"both empty", 0, ',', LimitKind::Bounds, "", "", "", "", "1",
         "Please enter a lower limit, an upper limit or both.", off, 0},
        {"no tolerance", 0, ',', LimitKind::Nominal, "", "", "80", "0", "1",
         "The tolerance must be greater than zero.", off, 0},
        {"negative tolerance", 0, ',', LimitKind::Nominal, "", "", "80", "-1", "1",
         "The tolerance must be greater than zero.", off, 0},
        {"tolerance missing", 0, ',', LimitKind::Nominal, "", "", "80", "", "1",
         "Please enter both the nominal value and the tolerance.", off, 0},
        {"too far apart", 0, '.', LimitKind::Bounds, minusHuge.c_str(), huge.c_str(), "", "", "1",
         "The limits are too far apart. Please enter smaller numbers.", off, 0},
        {"German", 1, ',', LimitKind::Nominal, "", "", "80", "2.5", "1",
         "Toleranz (\u00B1): \u201E2.5\u201C\nDas ist keine Zahl. Bitte geben Sie eine Zahl wie "
         "12,5 ein.",
         off, 0},
        {"French", 2, ',', LimitKind::Bounds, "14", "12", "", "", "1",
         "La limite inf\u00E9rieure doit \u00EAtre plus petite que la limite sup\u00E9rieure.", off,
         0},
    };
    for (const Entry& e : entries) {
        SCOPED_TRACE(e.what);
        ActiveLanguage = e.language;
        LimitsWindow window;
        window.setSettings({}, e.separator);
        const auto [message, ok] = enter(window, e);
        EXPECT_EQ(message.toStdString(), e.refusal == nullptr ? "" : e.refusal);
        EXPECT_EQ(ok, e.refusal == nullptr);
        if (ok) {
            EXPECT_EQ(window.settings(), (JudgementSettings{e.accepted, e.sampleSize}));
        }
    }
    ActiveLanguage = LanguageEnglish;
}

TEST(LimitsWindow, ShowsTheSettingsInTheUsersNotationAndTheChoiceOfSamples) {
    FillLanguageTables();
    ActiveLanguage = LanguageGerman;
    LimitsWindow window;
    window.setSettings({{LimitKind::Nominal, 1.0, none, 80.25, 0.5}, 0}, ',');
    onModal([&](QWidget*) {
        EXPECT_EQ(window.windowTitle(), "Grenzwerte");
        EXPECT_TRUE(window.nominalChoice->isChecked());
        EXPECT_EQ(window.nominalEdit->text(), "80,25");
        EXPECT_EQ(window.toleranceEdit->text(), "0,5");
        EXPECT_EQ(window.lowerEdit->text(), "1");
        EXPECT_FALSE(window.lowerEdit->isEnabled());
        EXPECT_TRUE(window.nominalEdit->isEnabled());
        EXPECT_EQ(window.sampleSizeBox->text(), "Aus");
        window.reject();
    });
    window.exec();

    // Limits far from 1 (from a settings file edited by hand) come back whole on OK.
    const JudgementSettings extreme{{LimitKind::Bounds, -1e-45, 1e40, none, none}, 4};
    window.setSettings(extreme, ',');
    onModal([&](QWidget*) { window.buttons->button(QDialogButtonBox::Ok)->click(); });
    EXPECT_EQ(window.exec(), QDialog::Accepted);
    EXPECT_EQ(window.settings(), extreme);
    ActiveLanguage = LanguageEnglish;
}

TEST(JudgementSettingsFile, SectionsOfTheirOwnAndTheRestOfTheFileUntouched) {
    QTemporaryDir dir;
    const std::string ini = dir.filePath("zt40.ini").toStdString();
    const std::string before = "; mine\r\n[Config]\r\nLanguage=1\r\n[Other]\r\nA=b\r\n";
    writeFile(QString::fromStdString(ini), before);
    const JudgementSettings settings{{LimitKind::Nominal, none, 14.0, 80.25, 0.1}, 5};
    ASSERT_TRUE(writeJudgementSettings(ini, settings).ok());
    EXPECT_EQ(readFile(QString::fromStdString(ini)),
              before + "[Limits]\r\nKind=Nominal\r\nLower=\r\nUpper=14\r\nNominal=80.25\r\n"
                       "Tolerance=0.1\r\n[Samples]\r\nReadingsPerSample=5\r\n");
    EXPECT_EQ(readJudgementSettings(ini), settings);
    // Writing the language leaves the sections as they are.
    ASSERT_TRUE(ProfileFile(ini).WriteInteger("Config", "Language", 2).ok());
    EXPECT_EQ(readJudgementSettings(ini), settings);
    EXPECT_EQ(ProfileFile(ini).ReadInteger("Config", "Language", 0), 2);

    // Read as a person writes them: words in any case, either decimal separator. What could not
    // have been entered is off; a value that cannot be read at all is named.
    const struct {
        const char* content;
        JudgementSettings read;
        const char* unreadable; // key=value; empty: none
    } files[] = {
        {"", {}, ""},
        {"[Limits]\nKind=Bounds\nLower=12,5\nUpper=14\n",
         {{LimitKind::Bounds, 12.5, 14.0, none, none}, 0},
         ""},
        {"[limits]\nkind=bounds\nLower=84,5\nUpper=86\n",
         {{LimitKind::Bounds, 84.5, 86.0, none, none}, 0},
         ""},
        {"[Limits]\nKind=NOMINAL\nNominal=82.8\nTolerance=1,1\n",
         {{LimitKind::Nominal, none, none, 82.8, 1.1}, 0},
         ""},
        {"[limits]\nkind=Bounds\nLower=14\nUpper=12\n",
         {{LimitKind::Off, 14.0, 12.0, none, none}, 0},
         ""},
        {"[Limits]\nKind=Sideways\nLower=1\n",
         {{LimitKind::Off, 1.0, none, none, none}, 0},
         "Kind=Sideways"},
        {"[Limits]\nKind=Bounds\nLower=8x\nUpper=9\n",
         {{LimitKind::Off, none, 9.0, none, none}, 0},
         "Lower=8x"},
        {"[Samples]\nReadingsPerSample=21\n", {}, ""},
        {"[Samples]\nReadingsPerSample=1\n", {}, ""},
        {"[Samples]\nReadingsPerSample=2\n", {{}, 2}, ""},
    };
    for (const auto& f : files) {
        writeFile(QString::fromStdString(ini), f.content);
        std::optional<UnreadableSetting> unreadable;
        EXPECT_EQ(readJudgementSettings(ini, &unreadable), f.read) << f.content;
        EXPECT_EQ(unreadable ? unreadable->key + "=" + unreadable->value : "", f.unreadable)
            << f.content;
    }
}

TEST(JudgementSettingsFile, ALimitThatCannotBeReadIsToldAtStartAndJudgingIsOff) {
    ProgramDirectory dir;
    useSimulator(false);
    writeFile(dir.path("zt40.ini"), "[Config]\r\nLanguage=1\r\n[Limits]\r\nKind=Bounds\r\n"
                                    "Lower=12;5\r\nUpper=14\r\n");
    QString message;
    onModal([&](QWidget* box) {
        message = static_cast<QMessageBox*>(box)->text();
        clickButton(box, "OK");
    });
    auto program = startProgram();
    EXPECT_TRUE(message.contains("Lower=12;5")) << message.toStdString();
    EXPECT_TRUE(message.contains(QString::fromUtf8("Grenzwert"))) << message.toStdString();
    EXPECT_FALSE(program->MainForm->judgementPanel().judgement().limits().any());
    ActiveLanguage = LanguageEnglish;
}
