#include "VerdictDelegate.h"

#include "Cp1252.h"
#include "Judgement.h"
#include "JudgementTexts.h"
#include "Languages.h"
#include "MeasurementListModel.h"
#include "RegionalSettings.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolTip>

namespace zt40 {

namespace {

// A small red triangle pointing up (above the upper limit) or down (below the lower one).
QIcon arrow(bool up) {
    QPixmap picture(24, 24);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    if (up) {
        path.moveTo(12, 3);
        path.lineTo(22, 20);
        path.lineTo(2, 20);
    } else {
        path.moveTo(2, 4);
        path.lineTo(22, 4);
        path.lineTo(12, 21);
    }
    path.closeSubpath();
    painter.fillPath(path, VerdictDelegate::outsideColour());
    painter.end();
    return QIcon(picture);
}

} // namespace

VerdictDelegate::VerdictDelegate(const MeasurementJudgement& judgement, QObject* parent)
    : QStyledItemDelegate(parent), judgement_(judgement), above_(arrow(true)),
      below_(arrow(false)) {}

const QColor& VerdictDelegate::outsideColour() {
    static const QColor colour(200, 0, 0);
    return colour;
}

QString VerdictDelegate::toolTip(const QModelIndex& index) const {
    if (index.column() != ColValue) {
        return {};
    }
    const Limits& limits = judgement_.limits();
    const VerdictTexts& t = verdictTexts(ActiveLanguage);
    const char separator = platform::decimalSeparator();
    switch (judgement_.verdictOfRow(index.row())) {
    case Verdict::Above:
        return platform::fromCp1252(t.aboveTip)
            .arg(platform::fromCp1252(decimalText(*limits.upper, separator)));
    case Verdict::Below:
        return platform::fromCp1252(t.belowTip)
            .arg(platform::fromCp1252(decimalText(*limits.lower, separator)));
    default:
        return {};
    }
}

void VerdictDelegate::initStyleOption(QStyleOptionViewItem* option,
                                      const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.column() != ColValue) {
        return;
    }
    const Verdict verdict = judgement_.verdictOfRow(index.row());
    if (verdict != Verdict::Above && verdict != Verdict::Below) {
        return;
    }
    option->palette.setColor(QPalette::Text, outsideColour());
    option->font.setBold(true);
    option->icon = verdict == Verdict::Above ? above_ : below_;
    option->features |= QStyleOptionViewItem::HasDecoration;
    const int side = option->fontMetrics.height() * 3 / 4;
    option->decorationSize = QSize(side, side);
    option->decorationPosition = QStyleOptionViewItem::Left;
}

void VerdictDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    if (endsSample(index.row(), judgement_.sampleSize())) {
        painter->save();
        painter->setPen(QPen(option.palette.color(QPalette::Mid), 1));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
    }
}

bool VerdictDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() == QEvent::ToolTip) {
        const QString tip = toolTip(index);
        if (!tip.isEmpty()) {
            QToolTip::showText(event->globalPos(), tip, view->viewport(), option.rect);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

} // namespace zt40
