#include "Controls.h"

#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QToolButton>

#include <stdexcept>

namespace zt40 {

namespace {
constexpr const char* AutoSizeProperty = "autoSize";
} // namespace

void setTextColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QLabel* autoLabel(QWidget* parent, const char* objectName, const QString& text, int x, int y) {
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setProperty(AutoSizeProperty, true);
    label->move(x, y);
    setLabelText(label, text);
    return label;
}

void setLabelText(QLabel* label, const QString& text) {
    label->setText(text);
    if (label->property(AutoSizeProperty).toBool())
        label->adjustSize();
}

QToolButton* iconButton(QWidget* parent, const char* objectName, const QString& picture,
                        const QRect& geometry) {
    auto* button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setGeometry(geometry);
    button->setIcon(QIcon(picture));
    button->setIconSize(geometry.size());
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

void centreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen();
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

bool askYesNo(const QString& title, const QString& text, const char* objectName) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No,
                    nullptr);
    box.setObjectName(objectName);
    return box.exec() == QMessageBox::Yes;
}

void tellWarning(QWidget* parent, const QString& title, const QString& text,
                 const char* objectName) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    box.setObjectName(objectName);
    box.exec();
}

void tellWarning(QWidget* parent, const QString& title, const Outcome& failure,
                 const char* objectName) {
    tellWarning(parent, title, failure.reason(), objectName);
}

void raiseOnFailure(const Outcome& outcome) {
    if (!outcome.ok()) {
        throw std::runtime_error(outcome.reason().toStdString());
    }
}

} // namespace zt40
