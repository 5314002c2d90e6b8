#include "AppTestSupport.h"

#include "DriverStandIn.h"
#include "MeasurementListModel.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace zt40::test {

void onModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    auto started = std::make_shared<int>(0);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act, started] {
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
            return;
        }
        if (++*started > 400) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no modal window came up";
        }
    });
    timer->start();
}

void clickButton(QWidget* window, const QString& text) {
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (button->text().remove('&') == text) {
            button->click();
            return;
        }
    }
    ADD_FAILURE() << "no button " << text.toStdString() << " in "
                  << window->objectName().toStdString();
}

void chooseLanguage(TMainForm& form, int item) {
    onModal([item](QWidget* dialog) {
        dialog->findChild<QRadioButton*>(QString("RadioItem%1").arg(item))->click();
        clickButton(dialog, "OK");
    });
    form.langButtonClick();
}

QString chooseLanguageAndReadBox(TMainForm& form, int item) {
    QString message;
    onModal([&message, item](QWidget* dialog) {
        dialog->findChild<QRadioButton*>(QString("RadioItem%1").arg(item))->click();
        onModal([&message](QWidget* box) {
            message = static_cast<QMessageBox*>(box)->text();
            clickButton(box, "OK");
        });
        clickButton(dialog, "OK");
    });
    form.langButton->click();
    return message;
}

std::string readFile(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const QString& path, const std::string& bytes) {
    std::ofstream(path.toStdString(), std::ios::binary) << bytes;
}

ProgramDirectory::ProgramDirectory() : previous_(QDir::currentPath()) {
    const struct {
        const char* name;
        QColor colour;
    } flags[] = {{"CTRUK.ICO", Qt::red}, {"CTRGERM.ICO", Qt::yellow}, {"CTRFRAN.ICO", Qt::blue}};
    for (const auto& flag : flags) {
        QImage image(32, 32, QImage::Format_ARGB32);
        image.fill(flag.colour);
        EXPECT_TRUE(image.save(dir_.filePath(flag.name), "ICO")) << flag.name;
    }
    QDir::setCurrent(dir_.path());
}

ProgramDirectory::~ProgramDirectory() {
    QDir::setCurrent(previous_);
}

void ScopedEnvironment::set(const char* name, const QString& value) {
    saved_.push_back({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
    qputenv(name, value.toLocal8Bit());
}

ScopedEnvironment::~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        if (it->wasSet) {
            qputenv(it->name, it->value);
        } else {
            qunsetenv(it->name);
        }
    }
}

TestDesktop::TestDesktop() {
    for (const char* name :
         {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS"}) {
        QDir(root_.path()).mkpath(name);
        env_.set(name, root_.filePath(name));
    }
    QFile::link("/usr/share/mime", root_.filePath("XDG_DATA_DIRS/mime"));
}

void TestDesktop::addChmProgram() {
    QDir(path("XDG_DATA_HOME")).mkpath("applications");
    writeFile(path("XDG_DATA_HOME") + "/applications/chmviewer.desktop",
              "[Desktop Entry]\nType=Application\nName=CHM\nExec=sh %f\n");
    writeFile(path("XDG_CONFIG_HOME") + "/mimeapps.list",
              "[Default Applications]\napplication/vnd.ms-htmlhelp=chmviewer.desktop\n");
}

void useSimulator(bool attached) {
    driver::setRealDevicesEnabled(false);
    if (attached) {
        qputenv("ZT40_SIMULATOR", "manual");
    } else {
        qunsetenv("ZT40_SIMULATOR");
    }
}

std::unique_ptr<Program> startProgram() {
    auto program = std::make_unique<Program>();
    program->MainForm->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(program->MainForm.get()));
    return program;
}

std::unique_ptr<Program> startWithTicksByHand() {
    useSimulator(true);
    auto program = startProgram();
    program->MainForm->Timer1->stop();
    tickUntilRunning(*program->MainForm);
    return program;
}

void tickUntilRunning(TMainForm& form) {
    // 10 serial bytes, the serial index 0 again, then the firmware.
    for (int i = 0; i < 12; ++i) {
        form.Timer1Timer();
    }
}

bool measure(TMainForm& form, bool light) {
    if (light != form.pollCycle().lightOption()) {
        form.lichtClick();
    }
    const int before = form.measurementList().count();
    form.messenClick();
    for (int i = 0; i < 10 && form.measurementList().count() == before; ++i) {
        form.Timer1Timer();
    }
    return form.measurementList().count() == before + 1;
}

} // namespace zt40::test
