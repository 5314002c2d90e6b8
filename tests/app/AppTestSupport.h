// Shared helpers of the application tests: a program directory of its own, the whole program
// started in it, and modal dialogs driven for real.
#pragma once

#include "Program.h"
#include "UrlRecorder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zt40::test {

// Runs `act` on the next modal window that comes up (a dialog or a message box); records a
// test failure when none comes up within two seconds.
void onModal(std::function<void(QWidget*)> act);

// The button of a message box or dialog by its text.
void clickButton(QWidget* window, const QString& text);

// Opens the language dialog with the language button, chooses item `item` and confirms it.
void chooseLanguage(TMainForm& form, int item);
// The same through a click on the button, as a user does, when the choice ends in a message
// box: the box is confirmed and its text returned.
QString chooseLanguageAndReadBox(TMainForm& form, int item);

std::string readFile(const QString& path);
void writeFile(const QString& path, const std::string& bytes);

// A temporary program directory holding the three flag icons, made the current directory
// for the test; the previous current directory comes back afterwards.
class ProgramDirectory {
public:
    ProgramDirectory();
    ~ProgramDirectory();
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString root() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QString previous_;
};

// Sets environment variables for one test and puts the old values back afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment();
    void set(const char* name, const QString& value);

private:
    struct Saved {
        const char* name;
        bool wasSet;
        QByteArray value;
    };
    std::vector<Saved> saved_;
};

// A desktop of the test's own (its XDG folders), whose MIME associations name no program
// until one is added. The system's MIME database stays, to tell file kinds by name.
class TestDesktop {
public:
    TestDesktop();
    QString path(const char* folder) const { return root_.filePath(folder); }
    // A program for .chm files, the desktop's default for them.
    void addChmProgram();

private:
    QTemporaryDir root_;
    ScopedEnvironment env_;
};

// The simulated instrument plugged in (scenario "manual": readings only on measure commands)
// or no instrument at all.
void useSimulator(bool attached);

// Starts the whole program as main() does and shows the main window.
std::unique_ptr<Program> startProgram();

// Starts the program with the simulated instrument, stops its poll timer and ticks by hand
// until serial number and firmware are read, so that each test decides every tick.
std::unique_ptr<Program> startWithTicksByHand();

// Runs poll ticks by hand until the serial number and firmware are read.
void tickUntilRunning(TMainForm& form);
// Requests a measurement and ticks until its row arrives; false when none came.
bool measure(TMainForm& form, bool light = false);

// Runs the program in `folder` until it is killed (the kill test's first half).
int runProgramToBeKilled(const QString& folder);

} // namespace zt40::test
