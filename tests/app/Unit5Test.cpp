// The About dialog: its texts for a recorded system, the languages, the version, the links.
#include "Unit5.h"
#include "AppTestSupport.h"
#include "Languages.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#ifndef _WIN32
#include <sys/utsname.h>
#endif

#include <gtest/gtest.h>

namespace zt40::test {

namespace zt40 {
namespace {

// A system as recorded: what it reports, and which registry keys were asked for.
class RecordedSystem : public platform::SystemInfo {
public:
    platform::OsVersionInfo os;
    std::optional<platform::RegisteredUser> registry = platform::RegisteredUser{};
    std::optional<std::string> fullName;
    std::optional<std::string> organization;
    std::optional<platform::ProgramVersion> version = platform::ProgramVersion{2, 43, 0, 0};
    mutable std::vector<std::string> keysAsked;

    platform::OsVersionInfo osVersion() const override { return os; }
    std::optional<platform::RegisteredUser> registryUser(const std::string& key) const override {
        keysAsked.push_back(key);
        return registry;
    }
    std::optional<std::string> accountFullName() const override { return fullName; }
    std::optional<std::string> environmentOrganization() const override { return organization; }
    std::optional<platform::ProgramVersion> programVersion() const override { return version; }
};

QString shown(const QLabel* label) {
    return label->text();
}

class AboutDialog : public ::testing::Test {
protected:
    void SetUp() override { savedLanguage_ = ActiveLanguage; }
    void TearDown() override { ActiveLanguage = savedLanguage_; }

    static platform::OsVersionInfo windows(std::uint32_t major, std::uint32_t minor,
                                           std::uint32_t build, std::uint32_t id,
                                           std::string csd = {}) {
        return {major, minor, build, id, std::move(csd), {}};
    }

    RecordedSystem system;

private:
    std::int32_t savedLanguage_ = 0;
};

TEST_F(AboutDialog, DesignLayoutAndTexts) {
    ZT40_SKIP_UNDER_WINE("Wine lays out text in substitute fonts, with other metrics than Windows' own");
    TForm5 form(system);
    EXPECT_EQ(form.windowTitle(), "Info");
    EXPECT_EQ(form.size(), QSize(514, 297));
    struct Place {
        QWidget* control;
        int x, y;
        QString text;
    };
    for (const Place& p :
         {Place{form.Image1, 16, 16, ""}, Place{form.Label6, 160, 8, "DORVANEX II"},
          Place{form.Label9, 352, 8, QString::fromUtf8("®")}, Place{form.Label10, 384, 8, "ZT 40"},
          Place{form.sys, 16, 120, "Windows 95/98/NT"}, Place{form.sp, 16, 136, "Service Pack"},
          Place{form.Label4, 16, 168, "Autor: Jorin Valbek"},
          Place{form.text1, 16, 192, "Version: 0.16.D"},
          Place{form.Label7, 16, 216, "Lizenznehmer:"}, Place{form.name, 16, 240, "Name"},
          Place{form.org, 16, 256, "Organisation"}, Place{form.Label3, 352, 224, "Internet:"},
          Place{form.web, 352, 240, "TARVELON GMBH Website"},
          Place{form.mail, 352, 256, "EMail (support@tarvelon.example)"}}) {
        SCOPED_TRACE(p.control->objectName().toStdString());
        EXPECT_EQ(p.control->pos(), QPoint(p.x, p.y));
        if (auto* label = qobject_cast<QLabel*>(p.control); label && !p.text.isEmpty()) {
            EXPECT_EQ(label->text(), p.text);
        }
    }
    EXPECT_EQ(form.Image1->size(), QSize(124, 31));
    EXPECT_EQ(form.Label6->size(), QSize(185, 37));
    EXPECT_EQ(form.Label10->size(), QSize(113, 37));
    // 32-pixel fonts count the whole cell; the product name fits its fixed-size labels.
    for (QLabel* label : {form.Label6, form.Label10}) {
        EXPECT_LE(QFontMetrics(label->font()).height(), 32);
        EXPECT_GE(QFontMetrics(label->font()).height(), 28);
        EXPECT_TRUE(label->font().bold());
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->width())
            << label->text().toStdString();
    }
    EXPECT_LE(QFontMetrics(form.Label9->font()).height(), 16);
    // Every label lies inside the window, the links included.
    for (QLabel* label : form.findChildren<QLabel*>())
        EXPECT_TRUE(form.rect().contains(label->geometry())) << label->objectName().toStdString();
    EXPECT_FALSE(form.Label2->text().isEmpty());
    EXPECT_EQ(form.ok->geometry(), QRect(408, 144, 73, 25));
    EXPECT_TRUE(form.ok->isDefault());
    EXPECT_EQ(form.web->toolTip(), "Tarvelon Website aufrufen");
    EXPECT_EQ(form.mail->toolTip(), "EMail an Support senden");
    EXPECT_TRUE(form.web->font().underline());
    EXPECT_EQ(form.web->cursor().shape(), Qt::PointingHandCursor);
    // The product name is pure blue until the dialog is shown.
    EXPECT_EQ(form.Label6->palette().color(QPalette::WindowText), QColor(0, 0, 255));
}

TEST_F(AboutDialog, OperatingSystemTextsOfTheVersionTable) {
    struct Case {
        platform::OsVersionInfo os;
        const char* sys;
        const char* sp;
    };
    const Case cases[] = {
        {windows(6, 1, 7601, 2, "Service Pack 1"), "Microsoft Windows 7 , Version 6.1.7601",
         "Service Pack 1"},
        {windows(6, 0, 6002, 2, "Service Pack 2"), "Microsoft Windows Vista , Version 6.0.6002",
         "Service Pack 2"},
        {windows(5, 2, 3790, 2), "Windows Server 2003, Version 5.2.3790", ""},
        {windows(5, 1, 2600, 2, "Service Pack 3"), "Windows XP, Version 5.1.2600",
         "Service Pack 3"},
        {windows(5, 0, 2195, 2, " Service Pack 4 "), "Windows 2000, Version 5.0.2195",
         " Service Pack 4 "},
        {windows(4, 0, 1381, 2), "Windows NT/95, Version 4.0.1381", ""},
        // The 9x family keeps the version in the build number's high word; sp stays empty.
        {windows(4, 90, 0x045A0BB8, 1, " "), "Windows Me, Version 4.90.3000", ""},
        {windows(4, 10, 0x040A08AE, 1, " A "), "Windows 98, Version 4.10.2222", ""},
        {windows(4, 0, 0x040003B6, 1), "Windows NT/95, Version 4.0.950", ""},
        // Not in the table: the text begins with the comma.
        {windows(6, 2, 9200, 2), ", Version 6.2.9200", ""},
        {windows(10, 0, 19045, 2), ", Version 10.0.19045", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sys);
        system.os = c.os;
        TForm5 form(system);
        form.FormShow();
        EXPECT_EQ(TForm5::caption(form.sys), c.sys);
        EXPECT_EQ(shown(form.sys), QString::fromLatin1(c.sys));
        EXPECT_EQ(TForm5::caption(form.sp), c.sp);
    }
}

TEST_F(AboutDialog, RegistryKeyFollowsThePlatformFamily) {
    system.registry = platform::RegisteredUser{"Ann", "Acme"};
    system.os = windows(4, 10, 2222, 1);
    TForm5 form(system);
    form.FormShow();
    system.os = windows(5, 1, 2600, 2);
    form.FormShow();
    EXPECT_EQ(system.keysAsked,
              (std::vector<std::string>{"SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                        "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"}));
    EXPECT_EQ(shown(form.name), "Ann");
    EXPECT_EQ(shown(form.org), "Acme");
}

TEST_F(AboutDialog, AmpersandsAreDoubledInTheCaptionAndShownOnce) {
    system.os = windows(6, 1, 7601, 2);
    system.registry = platform::RegisteredUser{"Smith & Jones", "R&D && Co"};
    TForm5 form(system);
    form.FormShow();
    EXPECT_EQ(TForm5::caption(form.name), "Smith && Jones");
    EXPECT_EQ(shown(form.name), "Smith & Jones");
    EXPECT_EQ(TForm5::caption(form.org), "R&&D &&&& Co");
    EXPECT_EQ(shown(form.org), "R&D && Co");
}

TEST_F(AboutDialog, MissingValuesReadEmptyAndAKeyThatCannotBeOpenedKeepsTheCaptions) {
    system.os = windows(6, 1, 7601, 2);
    system.registry = std::nullopt;
    TForm5 form(system);
    form.FormShow();
    EXPECT_EQ(shown(form.name), "Name");
    EXPECT_EQ(shown(form.org), "Organisation");

    system.registry = platform::RegisteredUser{"Owner", ""};
    form.FormShow();
    EXPECT_EQ(shown(form.name), "Owner");
    EXPECT_EQ(shown(form.org), "");

    // Once set, a later failure keeps the previous captions.
    system.registry = std::nullopt;
    form.FormShow();
    EXPECT_EQ(shown(form.name), "Owner");
}

TEST_F(AboutDialog, ElsewhereTheSystemNamesItselfAndTheAccountGivesTheName) {
    system.os = {
        6, 1, 0, platform::PlatformPosix, "ignored", "Debian GNU/Linux 12 (bookworm), Linux 6.1.0"};
    system.fullName = "Erika M\xFCller & Partner";
    TForm5 form(system);
    form.FormShow();
    EXPECT_EQ(shown(form.sys), "Debian GNU/Linux 12 (bookworm), Linux 6.1.0");
    EXPECT_EQ(shown(form.sp), "");
    EXPECT_EQ(shown(form.name), QString::fromUtf8("Erika Müller & Partner"));
    EXPECT_EQ(shown(form.org), "Organisation");
    EXPECT_TRUE(system.keysAsked.empty());

    system.organization = "Labor S\xFC"
                          "d";
    form.FormShow();
    EXPECT_EQ(shown(form.org), QString::fromUtf8("Labor Süd"));
}

TEST_F(AboutDialog, LanguageLabelsFollowTheActiveLanguage) {
    TForm5 form(system);
    ActiveLanguage = 7; // no language: the design texts stay, colon included
    form.FormShow();
    EXPECT_EQ(shown(form.Label7), "Lizenznehmer:");
    EXPECT_EQ(shown(form.Label4), "Autor: Jorin Valbek");
    const std::pair<const char*, const char*> expected[] = {
        {"Licensee", "Author: Jorin Valbek"},
        {"Lizenznehmer", "Autor: Jorin Valbek"},
        {"Licenci\xC3\xA9", "Auteur: Jorin Valbek"},
    };
    for (int language = 0; language < 3; ++language) {
        ActiveLanguage = language;
        form.FormShow();
        EXPECT_EQ(shown(form.Label7), QString::fromUtf8(expected[language].first));
        EXPECT_EQ(shown(form.Label4), QString::fromUtf8(expected[language].second));
    }
    EXPECT_EQ(TForm5::caption(form.Label7), "Licenci\xE9"); // one Windows-1252 byte
    // A language number out of range afterwards leaves the last texts.
    ActiveLanguage = -1;
    form.FormShow();
    EXPECT_EQ(shown(form.Label7), QString::fromUtf8("Licencié"));
}

TEST_F(AboutDialog, VersionTextKeepsAllSixteenBitsOfEveryNumber) {
    TForm5 form(system);
    EXPECT_EQ(form.GetVersionText(), "2.43.0.0");
    form.FormShow();
    EXPECT_EQ(shown(form.text1), "Programm-Version: 2.43.0.0");

    system.version = platform::ProgramVersion{1, 300, 65535, 256};
    EXPECT_EQ(form.GetVersionText(), "1.300.65535.256");

    system.version = std::nullopt;
    EXPECT_EQ(form.GetVersionText(), "");
    form.FormShow();
    EXPECT_EQ(shown(form.text1), "Programm-Version: ");
}

TEST_F(AboutDialog, EveryShowingComputesTheTextsAnewAndTheSameTwice) {
    system.os = windows(5, 1, 2600, 2, "Service Pack 2");
    system.registry = platform::RegisteredUser{"A", "B"};
    TForm5 form(system);
    ActiveLanguage = 0;
    test::onModal([](QWidget* modal) { test::clickButton(modal, "OK"); });
    EXPECT_EQ(form.exec(), QDialog::Accepted);
    const QStringList first = {shown(form.sys), shown(form.sp),    shown(form.name),
                               shown(form.org), shown(form.text1), shown(form.Label7)};
    EXPECT_EQ(form.Label6->palette().color(QPalette::WindowText), QColor(65, 120, 184));
    EXPECT_EQ(form.Label10->palette().color(QPalette::WindowText), QColor(65, 120, 184));

    test::onModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    form.exec();
    EXPECT_EQ((QStringList{shown(form.sys), shown(form.sp), shown(form.name), shown(form.org),
                           shown(form.text1), shown(form.Label7)}),
              first);

    // A change of language and of the system shows at the next showing.
    ActiveLanguage = 1;
    system.os = windows(6, 1, 7601, 2, "Service Pack 1");
    test::onModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); });
    EXPECT_EQ(form.exec(), QDialog::Accepted);
    EXPECT_EQ(shown(form.Label7), "Lizenznehmer");
    EXPECT_EQ(shown(form.sys), "Microsoft Windows 7 , Version 6.1.7601");
}

TEST_F(AboutDialog, LinksOpenTheWebSiteAndASupportMail) {
#ifdef _WIN32
    GTEST_SKIP() << "on Windows links and help files go to ShellExecute, not to the Qt URL handler the test records";
#endif
    test::UrlRecorder recorder({"https", "mailto"});
    TForm5 form(system);
    form.show();
    QTest::mouseClick(form.web, Qt::LeftButton);
    QTest::mouseClick(form.mail, Qt::LeftButton);
    QTest::mouseClick(form.Label3, Qt::LeftButton); // not a link
    form.hide();
    ASSERT_EQ(recorder.urls.size(), 2);
    EXPECT_EQ(recorder.urls[0], QUrl("https://www.tarvelon.example/"));
    EXPECT_EQ(recorder.urls[1], QUrl("mailto:support@tarvelon.example"));
}

TEST_F(AboutDialog, OnThisSystemItShowsTheKernelAndTheBuiltVersion) {
    TForm5 form;
    form.FormShow();
#ifdef _WIN32
    // The version table names every Windows the program knows by "Windows".
    EXPECT_TRUE(shown(form.sys).contains("Windows")) << shown(form.sys).toStdString();
    // The version comes from the program's version resource there (tests/windows).
#else
    utsname uts{};
    ASSERT_EQ(uname(&uts), 0);
    EXPECT_TRUE(shown(form.sys).contains(QString::fromLocal8Bit(uts.release)))
        << shown(form.sys).toStdString();
    EXPECT_EQ(shown(form.sp), "");
    EXPECT_NE(shown(form.name), "Name"); // the account database always names the user
    const platform::ProgramVersion v = platform::builtInVersion();
    EXPECT_EQ(shown(form.text1),
              QString("Programm-Version: %1.%2.%3.%4").arg(v[0]).arg(v[1]).arg(v[2]).arg(v[3]));
#endif
}

} // namespace
} // namespace zt40

} // namespace zt40::test

