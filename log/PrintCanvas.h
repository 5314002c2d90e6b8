// The surface the measurement list is printed on: a printer in the program, a recorder in the
// tests. Positions are device units of the printer, measured from the top-left corner of the
// printable area; texts are Windows-1252.
#pragma once

#include <QString>
#include <string_view>

namespace zt40 {

// Reference point of a text: its top-left or top-right corner (the values of the printer's
// TA_LEFT | TA_TOP and TA_RIGHT | TA_TOP). Stays in force until set again.
enum class TextAlign { Left = 0, Right = 2 };

class PrintCanvas {
public:
    virtual ~PrintCanvas() = default;

    // Starts the print job under the given name; this also starts page 1.
    virtual bool beginDocument(const QString& name) = 0;
    // Ends the current page and starts the next one.
    virtual bool newPage() = 0;
    // Ends the last page and sends the job.
    virtual bool endDocument() = 0;
    // What went wrong when one of the three above returned false.
    virtual QString errorText() const = 0;

    // Dots per inch of the printer, valid once the document has begun.
    virtual int horizontalResolution() const = 0;
    virtual int verticalResolution() const = 0;

    // Font in true points on paper.
    virtual void setFontName(std::string_view family) = 0;
    virtual void setFontSize(int points) = 0;
    virtual void setFontBold(bool bold) = 0;
    virtual void setTextAlign(TextAlign align) = 0;

    // Draws one line of text with its reference point at (x, y), never wrapped or clipped.
    virtual void textOut(int x, int y, std::string_view text) = 0;
};

} // namespace zt40
