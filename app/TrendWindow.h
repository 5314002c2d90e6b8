// The trend of the readings: every numeric value against its reading number or the time of
// day it was taken, the mean as a line and the band of one standard deviation either side, the
// limits and the readings outside them, following the list as it grows. The plot can be saved
// as a PNG picture and printed.
#pragma once

#include "Outcome.h"
#include "TrendData.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QFileDialog;
class QPrintDialog;
class QPrinter;
class QPushButton;
class QTimer;

namespace zt40 {

class MeasurementJudgement;
class MeasurementListModel;
class MeasurementStatistics;

// The plot on screen; pointing at an outside mark tells which limit the reading passed.
class TrendPlotView : public QWidget {
    Q_OBJECT
public:
    TrendPlotView(const TrendData& shown, QWidget* parent);
    // What the tooltip says of the outside reading at a point; "" hides it.
    std::function<QString(const QPointF&)> markTip;
    const TrendPlotFrame& frame() const { return frame_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    const TrendData& data_;
    TrendPlotFrame frame_;
};

class TrendWindow : public QWidget {
    Q_OBJECT
public:
    TrendWindow(const MeasurementListModel& list, MeasurementStatistics& statistics,
                QString saveDirectory, QWidget* parent = nullptr);
    ~TrendWindow() override;

    // Texts of the active language.
    void applyLanguage();
    // The limits as lines, the readings outside them marked, and the sample means; none
    // before it is set.
    void setJudgement(const MeasurementJudgement* judgement);
    // The horizontal axis: the reading number, or the time of day each reading was taken.
    using Axis = PlotAxis;
    void setAxis(Axis axis);
    Axis axis() const { return data_.axis(); }
    // Brings the plot up to date at once; otherwise changes of the list are gathered and
    // drawn together at the next turn of the event loop, and only while the window is shown.
    void refresh();
    // What the plot shows since the last refresh.
    const TrendPlotData& plot() const { return data_.plot(); }

    // Saves the plot as a PNG picture; a failure names the file and the reason.
    Outcome savePicture(const QString& path);
    // Draws the plot onto a printer page; a failure names the printer or its file.
    Outcome printOn(QPrinter& printer);

    // Numeric readings of the list. Of a long list the plot draws only the lowest and the
    // highest of each slice of reading numbers, so it may hold fewer points.
    qsizetype readingCount() const { return data_.readingCount(); }

    void saveClick();
    void printClick();
    QPrinter& printer();

    TrendPlotView* plotView = nullptr;
    QComboBox* axisChoice = nullptr;
    QCheckBox* sampleMeansChoice = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* printButton = nullptr;
    QFileDialog* saveDialog = nullptr;
    QPrintDialog* printDialog = nullptr; // made with the printer at the first print

protected:
    void showEvent(QShowEvent* event) override;

private:
    void redrawAll();
    void schedule();
    QString outsideTip(const QPointF& point) const;
    // A failure in the window's warning box; nothing when done.
    void tell(const Outcome& outcome);

    const MeasurementJudgement* judgement_ = nullptr;
    TrendData data_;
    QString saveDirectory_;
    QTimer* pending_ = nullptr;
    std::unique_ptr<QPrinter> printer_;
};

} // namespace zt40
