#include "Application.h"

#include "Languages.h"

#include <QFont>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

namespace zt40 {

void showHandlerError(const char* message) {
    // Also for whoever started the program from a terminal or a script.
    qWarning("zt40: %s", message);
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(ApplicationTitle),
                    QString::fromUtf8(message), QMessageBox::Ok);
    box.setObjectName("ErrorMessageBox");
    box.exec();
}

void showHandlerError(const std::exception& error) {
    showHandlerError(error.what());
}

bool useQtTranslations(int language) {
    static QTranslator* active = nullptr;
    if (active != nullptr) {
        QCoreApplication::removeTranslator(active);
        delete active;
        active = nullptr;
    }
    const Language* entry = languageEntry(language);
    const char* name = entry != nullptr ? entry->qtTranslation : nullptr;
    if (name == nullptr)
        return false;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLatin1String(name),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    active = translator;
    return true;
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
    // The desktop shows the program as "MIRELANTA ZT 40" through its desktop entry zt40.desktop
    // (window class zt40). No display name: the window system would append it to every title.
    setDesktopFileName(QStringLiteral("zt40"));
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
