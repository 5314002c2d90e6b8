// The comment dialog and the comment buffer it shares with the measurement list.
#pragma once

#include <QDialog>

#include <array>
#include <functional>
#include <string>
#include <string_view>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zt40 {

inline constexpr std::size_t CommentBufferSize = 100; // 99 characters and the zero
inline constexpr int CommentMaxLength = static_cast<int>(CommentBufferSize) - 1;

// Windows-1252 text, zero-terminated; empty outside a comment edit.
extern std::array<char, CommentBufferSize> CommentBuffer;

// Copies at most 99 bytes of `text` into CommentBuffer and terminates it.
void setCommentBuffer(std::string_view text);
std::string commentBufferText();
void clearCommentBuffer();

// An edited comment as the buffer takes it: line breaks and other control characters become
// blanks (a line break would break the exported lines), a pasted tab stays (the export writes
// it unchanged), characters Windows-1252 lacks become "?", and it is cut to 99 characters.
std::string commentFromEdit(const QString& edited);

class TForm2 : public QDialog {
    Q_OBJECT
public:
    // uiText returns the active language's text of a slot, as Windows-1252 bytes.
    explicit TForm2(std::function<std::string(int)> uiText, QWidget* parent = nullptr);

    void FormShow();
    void Button1Click();

    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::function<std::string(int)> uiText_;
};

} // namespace zt40
