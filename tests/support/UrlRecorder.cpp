#include "UrlRecorder.h"

#include <QDesktopServices>

#include <utility>

namespace zt40::test {

UrlRecorder::UrlRecorder(QStringList schemes) : schemes_(std::move(schemes)) {
    for (const QString& scheme : schemes_) {
        QDesktopServices::setUrlHandler(scheme, this, "open");
    }
}

UrlRecorder::~UrlRecorder() {
    for (const QString& scheme : schemes_) {
        QDesktopServices::unsetUrlHandler(scheme);
    }
}

} // namespace zt40::test
