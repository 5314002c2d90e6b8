// The report of a measurement list as a PDF file in the active language: who, what and when,
// the limits, the statistics of the whole list and of each sample with its verdict, the trend
// plot, then every row with its verdict; page numbers on every page, A4 or Letter as the
// locale measures paper.
#pragma once

#include "JudgementSettings.h"
#include "Outcome.h"

#include <QDateTime>
#include <QPageSize>
#include <QString>

#include <functional>
#include <string>
#include <vector>

class QLocale;
class QPainter;
class QRectF;

namespace zt40 {

class MeasurementListModel;

struct ReportContent {
    int language = 0;
    char separator = '.'; // the user's decimal separator
    QString program;      // name and version
    QString serial;
    QString firmware;
    QDateTime created;
    QString createdText; // as the user writes date and time
    QString user;
    JudgementSettings settings;
    // The figures of the whole list exactly as the statistics line shows them, one item each
    // (Windows-1252).
    std::vector<std::string> statisticsItems;
    int decimals = 0; // digits after the separator of means and deviations
    const MeasurementListModel* list = nullptr;
    // Draws the trend plot into the rectangle; none leaves the plot out.
    std::function<void(QPainter&, const QRectF&)> drawTrend;
};

// Letter where the locale measures in US units, A4 everywhere else.
QPageSize reportPageSize(const QLocale& locale);

// Writes the report. The file is replaced only when the whole report could be written; a
// failure names the file and the reason, in the report's language.
Outcome writeReport(const QString& path, const ReportContent& content);

} // namespace zt40
