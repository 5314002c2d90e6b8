// The print canvas of the program: a QPainter on a QPrinter.
#pragma once

#include "PrintCanvas.h"
#include "PrintLayout.h"

#include <QFont>
#include <QPainter>

class QPrinter;

namespace zt40 {

class QPainterCanvas : public PrintCanvas {
public:
    // The printer must outlive the canvas; it is configured (print dialog) beforehand.
    explicit QPainterCanvas(QPrinter& printer);
    ~QPainterCanvas() override;

    bool beginDocument(const QString& name) override;
    bool newPage() override;
    bool endDocument() override;
    QString errorText() const override { return error_; }

    int horizontalResolution() const override;
    int verticalResolution() const override;

    void setFontName(std::string_view family) override;
    void setFontSize(int points) override;
    void setFontBold(bool bold) override;
    void setTextAlign(TextAlign align) override { align_ = align; }

    void textOut(int x, int y, std::string_view text) override;

private:
    QPrinter& printer_;
    QPainter painter_;
    QFont font_;
    bool fontChanged_ = true;
    TextAlign align_ = TextAlign::Left;
    QString error_;
};

// Prints the whole list on the printer as one job named "ZT40 Printjob".
inline Outcome printMeasurementListOn(QPrinter& printer, const MeasurementListModel& model,
                                      const ColumnTexts& titles, int language) {
    QPainterCanvas canvas(printer);
    return drawMeasurementList(canvas, model, titles, language);
}

} // namespace zt40
