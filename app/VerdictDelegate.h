// Paints the measurement list's verdicts: a value outside the limits in red with an arrow
// pointing the way it left them, and a tooltip that says so in words; and a light rule under
// the last row of each sample.
#pragma once

#include <QIcon>
#include <QStyledItemDelegate>

namespace zt40 {

class MeasurementJudgement;

class VerdictDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit VerdictDelegate(const MeasurementJudgement& judgement, QObject* parent = nullptr);

    // The tooltip of a cell in the active language with the user's decimal separator; "" for
    // a reading inside the limits or without a verdict.
    QString toolTip(const QModelIndex& index) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    static const QColor& outsideColour();

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    const MeasurementJudgement& judgement_;
    QIcon above_;
    QIcon below_;
};

} // namespace zt40
