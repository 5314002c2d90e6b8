// A static library that links the resources, as the application library does; the test
// program links only this library, so it sees what a program built that way sees.
#include <QString>

namespace zt40::test {

QString resourceProbeName() {
    return QStringLiteral("probe");
}

} // namespace zt40::test
