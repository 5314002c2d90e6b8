#include "QPainterCanvas.h"

#include "Cp1252.h"

#include <QFontMetrics>
#include <QPrinter>

namespace zt40 {

QPainterCanvas::QPainterCanvas(QPrinter& printer) : printer_(printer) {}

QPainterCanvas::~QPainterCanvas() {
    // A job left open by an error is abandoned, so that the printer is free again.
    if (painter_.isActive()) {
        printer_.abort();
        painter_.end();
    }
}

bool QPainterCanvas::beginDocument(const QString& name) {
    printer_.setDocName(name);
    if (!painter_.begin(&printer_)) {
        error_ = QStringLiteral("The printer \"%1\" could not start the print job.")
                     .arg(printer_.outputFileName().isEmpty() ? printer_.printerName()
                                                              : printer_.outputFileName());
        return false;
    }
    return true;
}

bool QPainterCanvas::newPage() {
    if (!printer_.newPage()) {
        error_ = QStringLiteral("The printer could not start a new page.");
        return false;
    }
    return true;
}

bool QPainterCanvas::endDocument() {
    const bool ended = painter_.end();
    if (!ended || printer_.printerState() == QPrinter::Error ||
        printer_.printerState() == QPrinter::Aborted) {
        error_ = QStringLiteral("The print job could not be completed.");
        return false;
    }
    return true;
}

int QPainterCanvas::horizontalResolution() const {
    return printer_.logicalDpiX();
}

int QPainterCanvas::verticalResolution() const {
    return printer_.logicalDpiY();
}

void QPainterCanvas::setFontName(std::string_view family) {
    font_.setFamily(platform::fromCp1252(family));
    fontChanged_ = true;
}

void QPainterCanvas::setFontSize(int points) {
    font_.setPointSize(points);
    fontChanged_ = true;
}

void QPainterCanvas::setFontBold(bool bold) {
    font_.setBold(bold);
    fontChanged_ = true;
}

void QPainterCanvas::textOut(int x, int y, std::string_view text) {
    if (fontChanged_) {
        // Point sizes resolve against the printer's resolution, so they are true on paper.
        painter_.setFont(QFont(font_, &printer_));
        fontChanged_ = false;
    }
    const QString unicode = platform::fromCp1252(text);
    const QFontMetrics metrics = painter_.fontMetrics();
    qreal left = x;
    if (align_ == TextAlign::Right) {
        left -= metrics.horizontalAdvance(unicode);
    }
    painter_.drawText(QPointF(left, y + metrics.ascent()), unicode);
}

} // namespace zt40
