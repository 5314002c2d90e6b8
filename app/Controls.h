// Small helpers the windows share for their labels, placement and questions.
#pragma once

#include "Outcome.h"

#include <QColor>
#include <QString>

class QLabel;
class QRect;
class QToolButton;
class QWidget;

namespace zt40 {

void setTextColour(QLabel* label, const QColor& colour);

// A label whose size follows its text, as an auto-sized label does.
QLabel* autoLabel(QWidget* parent, const char* objectName, const QString& text, int x, int y);

// Sets a label's text; an auto-sized label takes the size of its new text.
void setLabelText(QLabel* label, const QString& text);

// A flat button showing only its picture, with a hand cursor, like the help and About icons.
QToolButton* iconButton(QWidget* parent, const char* objectName, const QString& picture,
                        const QRect& geometry);

// Centres the window, frame and title bar included, on the available area of its screen.
void centreOnScreen(QWidget* window);

// A yes/no question box with the question-mark icon, named `objectName` so that tests find it;
// true for Yes.
bool askYesNo(const QString& title, const QString& text, const char* objectName);

// A warning box with one OK button over `parent` (none: the screen's middle), named
// `objectName` so that tests find it.
void tellWarning(QWidget* parent, const QString& title, const QString& text,
                 const char* objectName);
// The same box telling the reason of a failure.
void tellWarning(QWidget* parent, const QString& title, const Outcome& failure,
                 const char* objectName);

// Hands a failure to the general error handler as an error raised in a handler: its reason is
// shown and the rest of the handler is skipped. Nothing when it was done.
void raiseOnFailure(const Outcome& outcome);

} // namespace zt40
