// The application object and its general error handler: an error raised inside an event
// handler is shown in a message box, the rest of that handler is skipped, and the program
// goes on.
#pragma once

#include <QApplication>

#include <exception>
#include <functional>

namespace zt40 {

inline constexpr const char* ApplicationTitle = "MIRELANTA ZT 40";

// Shows the message of an error that escaped a handler.
void showHandlerError(const std::exception& error);
void showHandlerError(const char* message);

// Loads Qt's own translations (message box buttons, file and print dialogs) for a language
// number; English, or a language whose translation file is missing, leaves Qt in English.
// Returns whether a translation is in use.
bool useQtTranslations(int language);

// Runs one handler; an error it raises goes to the message box and stops only that handler.
// Returns whether the handler ran to its end.
bool runHandler(const std::function<void()>& handler);

class Zt40Application : public QApplication {
public:
    Zt40Application(int& argc, char** argv);

    // Last line of defence for errors escaping event delivery.
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace zt40
