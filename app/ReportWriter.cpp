#include "ReportWriter.h"

#include "Cp1252.h"
#include "JudgementLine.h"
#include "JudgementTexts.h"
#include "Languages.h"
#include "MeasurementListModel.h"
#include "StatisticsLine.h"

#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>

namespace zt40 {

namespace {

constexpr int Resolution = 600; // dots per inch of the PDF's coordinates
constexpr double Margin = 15;   // mm, all round
constexpr double FooterGap = 8; // mm from the bottom margin to the footer's baseline area
constexpr double RowHeight = 4.6;
constexpr double PlotHeight = 95;
const QColor OutsideColour(190, 0, 0);
const QColor RuleColour(150, 150, 150);
const QString Dash = QStringLiteral("\u2013");

QString text(std::string_view cp1252) {
    return platform::fromCp1252(cp1252);
}

QFont font(double points, bool bold = false) {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

QString figure(std::optional<double> value, int decimals, char separator) {
    return platform::fromCp1252(statisticFigure(value, decimals, separator));
}

// One column of a table: where it starts (mm from the left margin), how wide, its alignment.
struct Column {
    double x;
    double width;
    Qt::Alignment align;
};

// The pages of one report. Run once without a painter to count the pages, then again to draw.
class Pages {
public:
    Pages(QPdfWriter* writer, QPainter* painter, QSizeF pageMm, int totalPages, QString footer,
          const ReportTexts& texts)
        : writer_(writer), painter_(painter), pageMm_(pageMm), total_(totalPages),
          footer_(std::move(footer)), texts_(texts) {}

    int page() const { return page_; }
    double y() const { return y_; }
    double width() const { return pageMm_.width() - 2 * Margin; }
    bool drawing() const { return painter_ != nullptr; }

    // Starts a new page when less than `height` mm are left on this one.
    bool need(double height) {
        if (y_ + height <= bottom()) {
            return false;
        }
        newPage();
        return true;
    }
    void skip(double height) { y_ += height; }

    void text(double x, double width, double height, const QString& s, const QFont& f,
              Qt::Alignment align = Qt::AlignLeft, const QColor& colour = Qt::black) {
        if (!painter_) {
            return;
        }
        painter_->setFont(f);
        painter_->setPen(colour);
        const QRectF box(px(Margin + x), px(y_), px(width), px(height));
        const QString shown =
            QFontMetricsF(f, painter_->device()).elidedText(s, Qt::ElideRight, box.width());
        painter_->drawText(box, static_cast<int>(align | Qt::AlignVCenter), shown);
    }
    void line(const QString& s, const QFont& f, double height, const QColor& colour = Qt::black) {
        need(height);
        text(0, width(), height, s, f, Qt::AlignLeft, colour);
        y_ += height;
    }
    void heading(const QString& s, double spaceBelow = 0) {
        need(12 + spaceBelow);
        y_ += 4;
        text(0, width(), 7, s, font(12, true));
        y_ += 7;
        rule();
        y_ += 1;
    }
    void rule() {
        if (painter_) {
            painter_->setPen(QPen(RuleColour, px(0.2)));
            painter_->drawLine(QPointF(px(Margin), px(y_)), QPointF(px(Margin + width()), px(y_)));
        }
    }
    // A row of a table; colours per cell.
    void cells(const std::vector<Column>& columns, const QStringList& values, const QFont& f,
               const std::vector<QColor>& colours = {}) {
        for (std::size_t c = 0; c < columns.size() && c < static_cast<std::size_t>(values.size());
             ++c) {
            text(columns[c].x, columns[c].width, RowHeight, values[static_cast<qsizetype>(c)], f,
                 columns[c].align, c < colours.size() ? colours[c] : QColor(Qt::black));
        }
        y_ += RowHeight;
    }
    void drawArea(double height, const std::function<void(QPainter&, const QRectF&)>& draw) {
        need(height);
        if (painter_ && draw) {
            painter_->save();
            draw(*painter_, QRectF(px(Margin), px(y_), px(width()), px(height)));
            painter_->restore();
        }
        y_ += height;
    }
    void finish() { footer(); }

private:
    static double px(double mm) { return mm * Resolution / 25.4; }
    double bottom() const { return pageMm_.height() - Margin - FooterGap; }
    void footer() {
        if (!painter_) {
            return;
        }
        const double y = pageMm_.height() - Margin - 5;
        painter_->setFont(font(8));
        painter_->setPen(Qt::black);
        const QRectF box(px(Margin), px(y), px(width()), px(5));
        painter_->drawText(box, Qt::AlignLeft | Qt::AlignVCenter, footer_);
        painter_->drawText(
            box, Qt::AlignRight | Qt::AlignVCenter,
            platform::fromCp1252(texts_.page).arg(QString::number(page_), QString::number(total_)));
    }
    void newPage() {
        footer();
        if (writer_) {
            writer_->newPage();
        }
        ++page_;
        y_ = Margin;
    }

    QPdfWriter* writer_;
    QPainter* painter_;
    QSizeF pageMm_;
    int total_;
    QString footer_;
    const ReportTexts& texts_;
    int page_ = 1;
    double y_ = Margin;
};

QString limitValue(const std::optional<double>& value, char separator) {
    return value ? platform::fromCp1252(decimalText(*value, separator)) : Dash;
}

void drawReport(Pages& pages, const ReportContent& c) {
    const ReportTexts& t = reportTexts(c.language);
    const Limits limits = effectiveLimits(c.settings.limits);
    const MeasurementListModel& list = *c.list;
    const QFont normal = font(9);
    const QFont bold = font(9, true);
    const QFont small = font(8);
    const QFont smallBold = font(8, true);

    pages.line(text(t.title), font(18, true), 10);
    pages.skip(2);
    const auto field = [&](const char* caption, const QString& value) {
        pages.need(5);
        pages.text(0, 45, 5, text(caption), bold);
        pages.text(45, pages.width() - 45, 5, value, normal);
        pages.skip(5);
    };
    field(t.program, c.program);
    field(t.instrument, QStringLiteral("%1 %2    %3 %4")
                            .arg(platform::fromCp1252(uiText(Slot::SerialCaption)), c.serial,
                                 platform::fromCp1252(uiText(Slot::FirmwareCaption)), c.firmware));
    field(t.created, c.createdText);
    field(t.user, c.user);
    const LimitSettings& s = c.settings.limits;
    if (!limits.any()) {
        field(t.limits, text(t.noLimits));
    } else {
        QString shown = QStringLiteral("%1 %2    %3 %4")
                            .arg(text(t.lower), limitValue(limits.lower, c.separator),
                                 text(t.upper), limitValue(limits.upper, c.separator));
        if (s.kind == LimitKind::Nominal) {
            shown = text(t.nominal).arg(limitValue(s.nominal, c.separator),
                                        limitValue(s.tolerance, c.separator)) +
                    QStringLiteral("    ") + shown;
        }
        field(t.limits, shown);
    }
    const int size = c.settings.sampleSize;
    field(t.readingsPerSample, size == 0 ? text(t.noSamples) : QString::number(size));

    pages.heading(text(t.allReadings));
    for (const std::string& item : c.statisticsItems) {
        pages.line(platform::fromCp1252(item), normal, 5);
    }

    if (c.drawTrend) {
        pages.heading(text(t.trend), PlotHeight);
        pages.drawArea(PlotHeight, c.drawTrend);
    }

    if (size != 0 && list.count() > 0) {
        const double w = pages.width();
        const std::vector<Column> columns{{0, 18, Qt::AlignRight},   {21, 20, Qt::AlignLeft},
                                          {41, 9, Qt::AlignRight},   {52, 22, Qt::AlignRight},
                                          {76, 22, Qt::AlignRight},  {100, 20, Qt::AlignRight},
                                          {122, 20, Qt::AlignRight}, {146, w - 146, Qt::AlignLeft}};
        const QStringList titles{text(t.sample),  text(t.readings),  QStringLiteral("n"),
                                 text(t.mean),    text(t.deviation), text(t.minimum),
                                 text(t.maximum), text(t.verdict)};
        pages.heading(text(t.samples), 2 * RowHeight);
        pages.cells(columns, titles, smallBold);
        for (const SampleSummary& sample : summariseSamples(list, size, limits)) {
            if (pages.need(RowHeight)) {
                pages.cells(columns, titles, smallBold);
            }
            const RunningStatistics& values = sample.values;
            const bool any = values.count() > 0;
            const auto some = [any](double value) {
                return any ? std::optional(value) : std::nullopt;
            };
            const int first = sample.range.first + 1;
            const int last = sample.range.first + sample.range.rows;
            const bool outside =
                sample.verdict == Verdict::Above || sample.verdict == Verdict::Below;
            pages.cells(columns,
                        {QString::number(sample.range.index + 1),
                         first == last ? QString::number(first)
                                       : QStringLiteral("%1%2%3").arg(first).arg(Dash).arg(last),
                         QString::number(values.count()),
                         figure(some(values.mean()), c.decimals, c.separator),
                         figure(values.standardDeviation(), c.decimals, c.separator),
                         figure(some(values.minimum()), c.decimals - 1, c.separator),
                         figure(some(values.maximum()), c.decimals - 1, c.separator),
                         text(verdictWord(sample.verdict, c.language))},
                        small,
                        {Qt::black, Qt::black, Qt::black, outside ? OutsideColour : Qt::black,
                         Qt::black, Qt::black, Qt::black, outside ? OutsideColour : Qt::black});
        }
    }

    // The rows, under the column titles of the active language on every page.
    const double w = pages.width();
    const std::vector<Column> columns{{0, 10, Qt::AlignRight},    {13, 22, Qt::AlignLeft},
                                      {36, 20, Qt::AlignLeft},    {57, 12, Qt::AlignHCenter},
                                      {70, 20, Qt::AlignRight},   {94, w - 94 - 32, Qt::AlignLeft},
                                      {w - 30, 30, Qt::AlignLeft}};
    QStringList titles{QStringLiteral("#")};
    for (int k = 0; k < ColumnCount; ++k) {
        titles << platform::fromCp1252(uiText(Slot::FirstColumn + k));
    }
    titles << (limits.any() ? text(t.verdict) : QString());
    pages.heading(text(t.rows), 2 * RowHeight);
    pages.cells(columns, titles, smallBold);
    for (int row = 0; row < list.count(); ++row) {
        if (pages.need(RowHeight)) {
            pages.cells(columns, titles, smallBold);
        }
        if (!pages.drawing()) {
            pages.skip(RowHeight);
            continue;
        }
        const Verdict verdict = judgeRow(list, row, limits);
        const bool outside = verdict == Verdict::Above || verdict == Verdict::Below;
        const QColor mark = outside ? OutsideColour : QColor(Qt::black);
        QStringList cells{QString::number(row + 1)};
        for (int k = 0; k < ColumnCount; ++k) {
            cells << platform::fromCp1252(list.text(row, k));
        }
        cells << text(verdictWord(verdict, c.language));
        pages.cells(columns, cells, small,
                    {Qt::black, Qt::black, Qt::black, Qt::black, mark, Qt::black, mark});
    }
    pages.finish();
}

} // namespace

QPageSize reportPageSize(const QLocale& locale) {
    return QPageSize(locale.measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                             : QPageSize::A4);
}

Outcome writeReport(const QString& path, const ReportContent& content) {
    const ReportTexts& texts = reportTexts(content.language);
    const auto failed = [&](const QString& why) {
        return Outcome::failed(text(texts.saveError).arg(QDir::toNativeSeparators(path), why));
    };
    if (content.list == nullptr) {
        return failed(QStringLiteral("no list"));
    }
    const QPageSize pageSize = reportPageSize(QLocale::system());
    const QSizeF pageMm = pageSize.size(QPageSize::Millimeter);

    // The first run counts the pages, for the "of" of every page number.
    Pages counting(nullptr, nullptr, pageMm, 0, content.program, texts);
    drawReport(counting, content);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return failed(file.errorString());
    }
    QPdfWriter writer(&file);
    writer.setResolution(Resolution);
    writer.setPageSize(pageSize);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setTitle(text(texts.title));
    writer.setCreator(content.program);
    QPainter painter;
    if (!painter.begin(&writer)) {
        file.cancelWriting();
        return failed(QStringLiteral("PDF"));
    }
    Pages drawing(&writer, &painter, pageMm, counting.page(), content.program, texts);
    drawReport(drawing, content);
    painter.end();
    if (!file.commit()) {
        return failed(file.errorString());
    }
    return {};
}

} // namespace zt40
