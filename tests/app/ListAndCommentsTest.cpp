// The measurement list in the main window: clearing with the question box, comments through
// the comment dialog, and readings that arrive while a box or the dialog is open.
#include "AppTestSupport.h"

#include "Cp1252.h"
#include "MeasurementListModel.h"
#include "Unit2.h"

#include <QClipboard>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace zt40::test {

namespace {

class ListAndComments : public ::testing::Test {
protected:
    void SetUp() override { program = startWithTicksByHand(); }
    TMainForm& form() { return *program->MainForm; }
    const MeasurementListModel& list() { return form().measurementList(); }
    void addRows(int count) {
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(measure(form()));
        }
    }
    void select(int row) { form().ListView1->setCurrentIndex(list().index(row, 0)); }
    std::string comment(int row) { return std::string(list().text(row, ColComment)); }
    std::string value(int row) { return std::string(list().text(row, ColValue)); }

    // Edits the selected row's comment: types `typed` and presses OK or Cancel.
    void editComment(const QString& typed, bool ok) {
        onModal([typed, ok](QWidget* dialog) {
            auto* edit = dialog->findChild<QLineEdit*>("Edit1");
            edit->selectAll();
            // Typed where the keyboard can, pasted otherwise.
            bool ascii = true;
            for (QChar c : typed) {
                ascii = ascii && c.unicode() < 0x80;
            }
            if (ascii) {
                QTest::keyClicks(edit, typed);
            } else {
                edit->insert(typed);
            }
            clickButton(dialog, ok ? "OK" : "Cancel");
        });
        form().ListView1DblClick();
    }

    ProgramDirectory dir;
    std::unique_ptr<Program> program;
};

void answer(QMessageBox::StandardButton button, QString* question = nullptr,
            std::function<void()> whileOpen = {}) {
    onModal([=](QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        ASSERT_NE(box, nullptr);
        if (question) {
            *question = box->windowTitle() + "|" + box->text();
        }
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_EQ(box->parentWidget(), nullptr);
        if (whileOpen) {
            whileOpen();
        }
        box->button(button)->click();
    });
}

} // namespace

TEST_F(ListAndComments, ClearDataAsksAndEmptiesOnlyOnYes) {
    addRows(3);
    QString question;
    answer(QMessageBox::No, &question);
    form().clearDClick();
    EXPECT_EQ(question, "Question|Are you shure ?");
    EXPECT_EQ(list().count(), 3);

    answer(QMessageBox::Yes);
    form().clearDClick();
    EXPECT_EQ(list().count(), 0);

    // On an empty list it asks all the same.
    question.clear();
    answer(QMessageBox::Yes, &question);
    form().clearDClick();
    EXPECT_FALSE(question.isEmpty());
}

TEST_F(ListAndComments, ClearLineRemovesExactlyTheSelectedRow) {
    addRows(3);
    const std::string first = value(0), third = value(2);
    select(1);
    answer(QMessageBox::No);
    form().clearLClick();
    EXPECT_EQ(list().count(), 3);

    answer(QMessageBox::Yes);
    form().clearLClick();
    ASSERT_EQ(list().count(), 2);
    EXPECT_EQ(value(0), first);
    EXPECT_EQ(value(1), third);

    // Nothing selected: asked, nothing deleted.
    form().ListView1->clearSelection();
    answer(QMessageBox::Yes);
    form().clearLClick();
    EXPECT_EQ(list().count(), 2);
}

TEST_F(ListAndComments, ReadingsArrivingWhileTheQuestionIsOpen) {
    addRows(2);
    const std::string first = value(0);
    const std::string second = value(1);
    // Clear Line deletes the row selected when it asked, not the new one.
    select(0);
    answer(QMessageBox::Yes, nullptr, [this] { EXPECT_TRUE(measure(form())); });
    form().clearLClick();
    ASSERT_EQ(list().count(), 2);
    EXPECT_EQ(value(0), second);
    // Clear Data deletes a row that arrived while it asked as well.
    answer(QMessageBox::Yes, nullptr, [this] { EXPECT_TRUE(measure(form())); });
    form().clearDClick();
    EXPECT_EQ(list().count(), 0);
}

TEST_F(ListAndComments, CommentEditOkAndCancel) {
    addRows(2);
    select(0);
    editComment("  gloss sample A ", true);
    EXPECT_EQ(comment(0), "  gloss sample A "); // kept with its blanks
    EXPECT_EQ(commentBufferText(), "");

    onModal([](QWidget* dialog) {
        // The dialog opens on the row's comment.
        EXPECT_EQ(dialog->findChild<QLineEdit*>("Edit1")->text(), "  gloss sample A ");
        EXPECT_EQ(dialog->windowTitle(), "Change Comment For Data");
        QTest::keyClicks(dialog->findChild<QLineEdit*>("Edit1"), "zzz");
        clickButton(dialog, "Cancel");
    });
    form().ListView1DblClick();
    EXPECT_EQ(comment(0), "  gloss sample A ");

    // New rows begin without a comment, also right after a cancelled edit.
    ASSERT_TRUE(measure(form()));
    EXPECT_EQ(comment(2), "");
    EXPECT_EQ(comment(1), "");
}

TEST_F(ListAndComments, CommentLimitsAndCharacters) {
    addRows(1);
    select(0);
    const QString ninetyNine(99, QChar('x'));
    editComment(ninetyNine, true);
    EXPECT_EQ(comment(0), ninetyNine.toStdString());

    // More than 99 are not taken.
    editComment(ninetyNine + "yz", true);
    EXPECT_EQ(comment(0), ninetyNine.toStdString());

    // Windows-1252 letters stay, others become "?".
    editComment(QString::fromUtf8("Gl\u00e4nzend \u2192 \u4e2d"), true);
    EXPECT_EQ(comment(0), "Gl\xE4nzend ? ?");
}

TEST_F(ListAndComments, APastedTabStaysLineBreaksBecomeBlanksAndTheTabKeyMovesOn) {
    addRows(1);
    select(0);
    QGuiApplication::clipboard()->setText("a\tb\r\nc\x01"
                                          "d");
    onModal([](QWidget* dialog) {
        auto* edit = dialog->findChild<QLineEdit*>("Edit1");
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), dialog->findChild<QPushButton*>("Button1"));
        clickButton(dialog, "OK");
    });
    form().ListView1DblClick();
    EXPECT_EQ(comment(0), "a\tb  c d");
}

TEST_F(ListAndComments, DoubleClickWithNothingSelectedOpensNothing) {
    addRows(2);
    form().ListView1->clearSelection();
    form().ListView1DblClick();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(comment(0), "");
    EXPECT_EQ(comment(1), "");
}

TEST_F(ListAndComments, DoubleClickOnARowEditsIt) {
    addRows(3);
    const QModelIndex row1 = list().index(1, 1);
    const QPoint at = form().ListView1->visualRect(row1).center();
    onModal([](QWidget* dialog) {
        QTest::keyClicks(dialog->findChild<QLineEdit*>("Edit1"), "clicked");
        clickButton(dialog, "OK");
    });
    QTest::mouseClick(form().ListView1->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(form().ListView1->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(comment(1), "clicked");
    EXPECT_EQ(comment(0), "");
}

TEST_F(ListAndComments, AReadingArrivingDuringAnEditGetsNoCommentAndIsEditedNext) {
    addRows(1);
    select(0);
    setCommentBuffer("");
    form().measurementList().setComment(0, "old note");
    int dialogs = 0;
    onModal([&](QWidget* dialog) {
        ++dialogs;
        // A reading arrives behind the dialog and becomes the selected row.
        EXPECT_TRUE(measure(form()));
        EXPECT_EQ(comment(1), "");
        auto* edit = dialog->findChild<QLineEdit*>("Edit1");
        edit->setText("first");
        onModal([&](QWidget* next) {
            ++dialogs;
            EXPECT_EQ(next->findChild<QLineEdit*>("Edit1")->text(), "");
            next->findChild<QLineEdit*>("Edit1")->setText("second");
            clickButton(next, "OK");
        });
        clickButton(dialog, "OK");
    });
    form().ListView1DblClick();
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(comment(0), "first");
    EXPECT_EQ(comment(1), "second");
}

TEST_F(ListAndComments, ANewRowIsScrolledIntoViewEvenWithAnotherSelected) {
    QTreeView& view = *form().ListView1;
    for (int count = 1; count <= 30; ++count) {
        select(0);
        view.scrollToTop();
        ASSERT_TRUE(measure(form()));
        QCoreApplication::processEvents();
        const QModelIndex last = list().index(count - 1, 0);
        EXPECT_EQ(view.currentIndex(), last) << count;
        EXPECT_TRUE(view.viewport()->rect().contains(view.visualRect(last))) << count;
    }
    // Enough rows that the list scrolls at all.
    EXPECT_GT(view.verticalScrollBar()->maximum(), 0);
}

} // namespace zt40::test
