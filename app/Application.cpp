#include "Application.h"

#include <QFont>
#include <QMessageBox>

namespace zt40 {

void showHandlerError(const char* message) {
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(ApplicationTitle),
                    QString::fromUtf8(message), QMessageBox::Ok);
    box.setObjectName("ErrorMessageBox");
    box.exec();
}

void showHandlerError(const std::exception& error) {
    showHandlerError(error.what());
}

bool runHandler(const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const std::exception& error) {
        showHandlerError(error);
    } catch (...) {
        showHandlerError("Unknown error");
    }
    return false;
}

Zt40Application::Zt40Application(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("zt40");
    setApplicationDisplayName(QString::fromLatin1(ApplicationTitle));
    // The windows ask for the Windows fonts; where those are missing, their metric twins.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                                QStringLiteral("Liberation Sans")});
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
}

bool Zt40Application::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    runHandler([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace zt40
