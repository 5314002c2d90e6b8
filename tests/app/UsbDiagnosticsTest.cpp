// What the USB layer has to tell about a connected instrument reaches the program's log as a
// warning of the category "zt40.usb", the text unchanged.
#include "UsbDiagnostics.h"

#include "Diagnostics.h"
#include "UsbDiagnosticSink.h"

#include <QtGlobal>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zt40::test {
namespace {

struct Logged {
    QtMsgType type;
    std::string category;
    std::string text;
};
std::vector<Logged>* logged = nullptr;

void capture(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    logged->push_back({type, context.category, text.toStdString()});
}

TEST(UsbDiagnostics, LinesBecomeWarningsOfTheUsbCategory) {
    std::vector<Logged> lines;
    logged = &lines;
    const QtMessageHandler previous = qInstallMessageHandler(capture);
    installUsbDiagnostics();
    driver::diagnose("The instrument at /dev/bus/usb/001/005 cannot be opened: permission denied.");
    qInstallMessageHandler(previous);
    setUsbDiagnosticSink({});
    logged = nullptr;

    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].type, QtWarningMsg);
    EXPECT_EQ(lines[0].category, "zt40.usb");
    EXPECT_EQ(lines[0].text,
              "The instrument at /dev/bus/usb/001/005 cannot be opened: permission denied.");
}

} // namespace
} // namespace zt40::test
