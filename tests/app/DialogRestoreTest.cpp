// A dialog restored after being minimised is shown again by the system; what the user typed or
// chose in it must survive that.
#include "Languages.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"

#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QShowEvent>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace zt40::test {

namespace zt40 {
namespace {

std::string anyText(int) {
    return "Text";
}

// Counts the show events the system sends (those the dialog does not ask for itself).
struct SpontaneousShows : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Show && event->spontaneous();
        return false;
    }
};

struct DialogCase {
    const char* name;
    std::function<std::unique_ptr<QDialog>()> make;
    std::function<void(QDialog&)> edit;     // types or chooses, as the user does
    std::function<bool(QDialog&)> editKept; // whether the edit is still there
};

TEST(DialogRestore, TypedTextAndChoicesSurviveMinimiseAndRestore) {
    clearCommentBuffer();
    ActiveLanguage = LanguageEnglish;
    const DialogCase cases[] = {
        {"comment", [] { return std::make_unique<TForm2>(anyText); },
         [](QDialog& d) { QTest::keyClicks(static_cast<TForm2&>(d).Edit1, "typed"); },
         [](QDialog& d) { return static_cast<TForm2&>(d).Edit1->text() == "typed"; }},
        {"export", [] { return std::make_unique<TForm3>(anyText); },
         [](QDialog& d) { static_cast<TForm3&>(d).RadioItems[2]->click(); },
         [](QDialog& d) { return static_cast<TForm3&>(d).ItemIndex() == 2; }},
        {"language", [] { return std::make_unique<TselectLanguage>(); },
         [](QDialog& d) { static_cast<TselectLanguage&>(d).RadioItems[2]->click(); },
         [](QDialog& d) { return static_cast<TselectLanguage&>(d).ItemIndex() == 2; }},
    };
    for (const DialogCase& c : cases) {
        const std::unique_ptr<QDialog> dialog = c.make();
        SpontaneousShows shows;
        dialog->installEventFilter(&shows);
        bool editedBefore = false;
        bool keptAfter = false;
        QTimer::singleShot(0, [&] {
            c.edit(*dialog);
            editedBefore = c.editKept(*dialog);
            dialog->setWindowState(Qt::WindowMinimized);
            dialog->setWindowState(Qt::WindowNoState);
            keptAfter = c.editKept(*dialog);
            dialog->reject();
        });
        dialog->exec();
        EXPECT_TRUE(editedBefore) << c.name;
        EXPECT_GE(shows.count, 1) << c.name << ": no restore happened";
        EXPECT_TRUE(keptAfter) << c.name;
    }
    EXPECT_EQ(ActiveLanguage, LanguageEnglish); // rejected: nothing taken
}

} // namespace
} // namespace zt40

} // namespace zt40::test

