// Start-up: the application, its windows in their order, the message loop.
#include "Application.h"
#include "Program.h"
#include "UsbDiagnostics.h"

#include <QMessageBox>

#include <exception>

int main(int argc, char** argv) {
    zt40::Zt40Application app(argc, argv);
    zt40::installUsbDiagnostics();
    try {
        zt40::Program program;
        program.MainForm->show();
        return app.exec();
    } catch (const std::exception& error) {
        // Nothing can go on after an error outside the event handlers.
        QMessageBox::critical(nullptr, QString::fromLatin1(zt40::ApplicationTitle),
                              QString::fromUtf8(error.what()));
        return 1;
    }
}
