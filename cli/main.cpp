// zt40-log: unattended logging of the gloss meter's readings from the command line.
#include "Logger.h"
#include "Options.h"
#include "Process.h"

#include <QCoreApplication>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace zt40::cli;
    const bool outputWasClosed = makeStandardDescriptorsSafe();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const ParsedArguments parsed = parseArguments(arguments);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "zt40-log: %s\nTry 'zt40-log --help' for more information.\n",
                     parsed.error.c_str());
        return ExitBadArguments;
    }
    if (parsed.options.help) {
        std::fputs(usageText().c_str(), stdout);
        return ExitNormal;
    }
    if (parsed.options.version) {
        std::printf("zt40-log %s\n", ZT40_VERSION);
        return ExitNormal;
    }
    QCoreApplication app(argc, argv);
    return runLogger(parsed.options, outputWasClosed);
}
