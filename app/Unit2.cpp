#include "Unit2.h"

#include "Controls.h"
#include "Cp1252.h"
#include "Languages.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include <algorithm>
#include <cstring>

namespace zt40 {

std::array<char, CommentBufferSize> CommentBuffer{};

void setCommentBuffer(std::string_view text) {
    const std::size_t length = std::min(text.size(), CommentBufferSize - 1);
    std::memcpy(CommentBuffer.data(), text.data(), length);
    CommentBuffer[length] = '\0';
}

std::string commentBufferText() {
    return std::string(CommentBuffer.data());
}

void clearCommentBuffer() {
    CommentBuffer.fill('\0');
}

std::string commentFromEdit(const QString& edited) {
    std::string bytes = platform::toCp1252(edited);
    for (char& c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7F) {
            c = ' ';
        }
    }
    if (bytes.size() > CommentBufferSize - 1) {
        bytes.resize(CommentBufferSize - 1);
    }
    return bytes;
}

TForm2::TForm2(std::function<std::string(int)> uiText, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      uiText_(std::move(uiText)) {
    setObjectName("Form2");
    setWindowTitle("Change Comment For Data");
    setFixedSize(362, 108);
    QFont font("MS Sans Serif");
    font.setPointSize(8);
    setFont(font);

    Label1 = new QLabel("Comment", this);
    Label1->setObjectName("Label1");
    Label1->move(16, 16);
    Label1->adjustSize();

    Edit1 = new QLineEdit("Edit1", this);
    Edit1->setObjectName("Edit1");
    Edit1->setGeometry(16, 40, 185, 21);
    // Never more than the comment buffer holds.
    Edit1->setMaxLength(CommentMaxLength);

    Button1 = new QPushButton("OK", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(264, 24, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, [this] {
        Button1Click();
        accept();
    });

    Button2 = new QPushButton("Cancel", this);
    Button2->setObjectName("Button2");
    Button2->setGeometry(264, 56, 75, 25);
    Button2->setAutoDefault(false);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(Edit1, Button1);
    setTabOrder(Button1, Button2);
}

void TForm2::showEvent(QShowEvent* event) {
    // A window restored from the task bar is shown again by the system: keep what is typed.
    if (!event->spontaneous()) {
        FormShow();
        centreOnScreen(this);
        Edit1->setFocus();
    }
    QDialog::showEvent(event);
}

void TForm2::FormShow() {
    Edit1->setText(platform::fromCp1252(commentBufferText()));
    setWindowTitle(platform::fromCp1252(uiText_(Slot::CommentTitle)));
    Button2->setText(platform::fromCp1252(uiText_(Slot::Cancel)));
    Label1->setText(platform::fromCp1252(uiText_(Slot::Comment)));
    Label1->adjustSize();
}

void TForm2::Button1Click() {
    setCommentBuffer(commentFromEdit(Edit1->text()));
}

} // namespace zt40
