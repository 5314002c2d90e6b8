// The application tests run under the program's own application object, offscreen.
#include "AppTestSupport.h"
#include "Application.h"
#include "UsbOsCalls.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The instruments of these tests are the driver stand-in's, on Windows too.
    zt40::setUsbOsCalls(zt40::standInOsCalls());
    zt40::Zt40Application app(argc, argv);
    // The first half of the kill test: a process of its own that waits to be killed.
    if (const QString folder = qEnvironmentVariable("ZT40_TEST_PROGRAM_TO_BE_KILLED");
        !folder.isEmpty()) {
        return zt40::test::runProgramToBeKilled(folder);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
