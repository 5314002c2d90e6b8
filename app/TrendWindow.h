// The trend of the readings: every numeric value against its reading number, the mean as a
// line and the band of one standard deviation either side, following the list as it grows.
// The chart can be saved as a PNG picture and printed.
#pragma once

#include <QString>
#include <QWidget>

#include <cstddef>
#include <memory>
#include <vector>

class QAbstractSeries;
class QAreaSeries;
class QCheckBox;
class QChart;
class QComboBox;
class QDateTimeAxis;
class QScatterSeries;
class QChartView;
class QFileDialog;
class QLineSeries;
class QPrintDialog;
class QPrinter;
class QPushButton;
class QRectF;
class QTimer;
class QValueAxis;

namespace zt40 {

class MeasurementJudgement;
class MeasurementListModel;
class MeasurementStatistics;

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
    enum class Axis { Reading = 0, Time = 1 };
    void setAxis(Axis axis);
    Axis axis() const { return axis_; }
    // Brings the chart up to date at once; otherwise changes of the list are gathered and
    // drawn together at the next turn of the event loop, and only while the window is shown.
    void refresh();

    // Saves the chart as a PNG picture; "" or the reason it failed.
    QString savePicture(const QString& path);
    // Draws the chart onto a printer page; "" or the reason it failed.
    QString printOn(QPrinter& printer);
    // Draws the chart as it is now into an area of a page (a report), laid out for the area's
    // size in points, whether the window is shown or not.
    void renderChart(QPainter& painter, const QRectF& area);

    // Numeric readings of the list, in the chart from its next refresh on. Of a long list the
    // chart draws only the lowest and the highest of each slice of reading numbers, so the
    // series may hold fewer points.
    qsizetype readingCount() const;

    void saveClick();
    void printClick();
    QPrinter& printer();

    QChartView* chartView = nullptr;
    QChart* chart = nullptr;
    QLineSeries* readings = nullptr;
    QLineSeries* meanLine = nullptr;
    QAreaSeries* band = nullptr;
    QValueAxis* axisX = nullptr;
    QValueAxis* axisY = nullptr;
    QDateTimeAxis* timeAxis = nullptr;
    QLineSeries* lowerLine = nullptr;
    QLineSeries* upperLine = nullptr;
    QScatterSeries* outside = nullptr;
    QLineSeries* sampleMeans = nullptr;
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
    void updateSummary();
    // The times of the rows not read yet; NaN for a row whose time cannot be read.
    void readTimes(std::size_t rows);
    // Points placed on the horizontal axis in use: reading numbers become times of day.
    QList<QPointF> placed(QList<QPointF> points) const;
    void updateJudgement(double firstX, double lastX);
    // A series is in the chart, and so in its legend, only while it has something to show.
    void showSeries(QAbstractSeries* series, bool shown);
    void outsideHovered(const QPointF& point, bool state);
    void showError(const QString& text);

    const MeasurementListModel& list_;
    MeasurementStatistics& statistics_;
    const MeasurementJudgement* judgement_ = nullptr;
    Axis axis_ = Axis::Reading;
    std::vector<double> times_; // ms since the epoch of each row read so far
    double earliest_ = 0;
    double latest_ = 0;
    QString saveDirectory_;
    QTimer* pending_ = nullptr;
    // A deletion renumbers readings: the next refresh replaces every point; otherwise it
    // adds only the rows after those drawn.
    bool redrawAll_ = true;
    std::size_t drawnRows_ = 0;
    std::unique_ptr<QPrinter> printer_;
};

} // namespace zt40
