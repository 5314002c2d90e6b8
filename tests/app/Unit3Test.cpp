// The export options dialog, shown modally for real and driven by its controls.
#include "Unit3.h"

#include <QApplication>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

namespace zt40::test {

using zt40::TForm3;

namespace {

// German texts of the slots the dialog reads; "ü" etc. are Windows-1252 bytes.
std::string germanText(int slot) {
    static const std::map<int, std::string> texts{
        {17, "Optionen"},
        {18, "Speichern in Zwischenablage und Excel starten"},
        {19, "Speichern in Datei"},
        {20, "Drucken"},
        {21, "Abbrechen"}};
    auto it = texts.find(slot);
    return it == texts.end() ? std::string("?") : it->second;
}

std::string frenchText(int slot) {
    static const std::map<int, std::string> texts{
        {17, "Options"},
        {18, "M\xE9moriser dans le presse-papiers et d\xE9marrer Excel"},
        {19, "M\xE9moriser dans un fichier"},
        {20, "Imprimer"},
        {21, "Quitter"}};
    auto it = texts.find(slot);
    return it == texts.end() ? std::string("?") : it->second;
}

// Runs the dialog modally; `act` runs once it is up.
int runModal(TForm3& dialog, std::function<void()> act) {
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(QApplication::activeModalWidget(), &dialog);
        act();
    });
    return dialog.exec();
}

class ExportDialog : public ::testing::Test {
protected:
    TForm3 dialog{germanText};
};

} // namespace

TEST_F(ExportDialog, DesignTextsAndLayout) {
    EXPECT_EQ(dialog.windowTitle(), "Export");
    EXPECT_EQ(dialog.size(), QSize(406, 225));
    EXPECT_EQ(dialog.RadioGroup1->geometry(), QRect(48, 32, 321, 105));
    EXPECT_EQ(dialog.Button1->geometry(), QRect(104, 168, 75, 25));
    EXPECT_EQ(dialog.Button2->geometry(), QRect(240, 168, 75, 25));
    EXPECT_EQ(dialog.RadioGroup1->title(), "Options");
    EXPECT_EQ(dialog.RadioItems[0]->text(), "Save to Clipboard and start Excel");
    EXPECT_EQ(dialog.RadioItems[1]->text(), "Save to File");
    EXPECT_EQ(dialog.RadioItems[2]->text(), "Print");
    EXPECT_EQ(dialog.Button1->text(), "OK");
    EXPECT_EQ(dialog.Button2->text(), "Cancel");
    EXPECT_TRUE(dialog.Button1->isDefault());
    EXPECT_EQ(dialog.ExportChoice, 0);
}

TEST_F(ExportDialog, ShowFillsTextsOfTheActiveLanguage) {
    runModal(dialog, [&] {
        EXPECT_EQ(dialog.RadioGroup1->title(), "Optionen");
        EXPECT_EQ(dialog.RadioItems[0]->text(), "Speichern in Zwischenablage und Excel starten");
        EXPECT_EQ(dialog.RadioItems[1]->text(), "Speichern in Datei");
        EXPECT_EQ(dialog.RadioItems[2]->text(), "Drucken");
        EXPECT_EQ(dialog.Button2->text(), "Abbrechen");
        EXPECT_EQ(dialog.Button1->text(), "OK"); // never translated
        dialog.Button2->click();
    });

    TForm3 french(frenchText);
    runModal(french, [&] {
        EXPECT_EQ(french.RadioItems[0]->text(),
                  QString::fromUtf8("Mémoriser dans le presse-papiers et démarrer Excel"));
        EXPECT_EQ(french.Button2->text(), "Quitter");
        french.Button2->click();
    });
}

TEST_F(ExportDialog, OkStoresTheCheckedItem) {
    for (int item = 0; item < 3; ++item) {
        int result = runModal(dialog, [&] {
            dialog.RadioItems[static_cast<size_t>(item)]->click();
            dialog.Button1->click();
        });
        EXPECT_EQ(result, QDialog::Accepted);
        EXPECT_EQ(dialog.ExportChoice, item);
    }
}

TEST_F(ExportDialog, NeverPreselectsThePreviousChoice) {
    runModal(dialog, [&] {
        dialog.RadioItems[1]->click();
        dialog.Button1->click();
    });
    ASSERT_EQ(dialog.ExportChoice, 1);

    // Shown again: nothing checked, so OK right away yields -1.
    int result = runModal(dialog, [&] {
        EXPECT_EQ(dialog.ItemIndex(), -1);
        for (auto* item : dialog.RadioItems)
            EXPECT_FALSE(item->isChecked());
        dialog.Button1->click();
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(dialog.ExportChoice, -1);
}

TEST_F(ExportDialog, CancelAndEscapeLeaveTheChoiceAlone) {
    runModal(dialog, [&] {
        dialog.RadioItems[2]->click();
        dialog.Button1->click();
    });
    ASSERT_EQ(dialog.ExportChoice, 2);

    int result = runModal(dialog, [&] {
        dialog.RadioItems[0]->click();
        dialog.Button2->click();
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(dialog.ExportChoice, 2);

    result = runModal(dialog, [&] {
        dialog.RadioItems[1]->click();
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(dialog.ExportChoice, 2);
}

TEST_F(ExportDialog, EnterConfirmsThroughTheDefaultButton) {
    int result = runModal(dialog, [&] {
        dialog.RadioItems[1]->click();
        dialog.RadioItems[1]->setFocus();
        QTest::keyClick(dialog.RadioItems[1], Qt::Key_Return);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(dialog.ExportChoice, 1);
}

} // namespace zt40::test

