// The trend of the readings: every numeric value against its reading number, the mean as a
// line and the band of one standard deviation either side, following the list as it grows.
// The chart can be saved as a PNG picture and printed.
#pragma once

#include <QString>
#include <QWidget>

#include <cstddef>
#include <memory>

class QAreaSeries;
class QChart;
class QChartView;
class QFileDialog;
class QLineSeries;
class QPrintDialog;
class QPrinter;
class QPushButton;
class QTimer;
class QValueAxis;

namespace zt40 {

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
    // Brings the chart up to date at once; otherwise changes of the list are gathered and
    // drawn together at the next turn of the event loop, and only while the window is shown.
    void refresh();

    // Saves the chart as a PNG picture; "" or the reason it failed.
    QString savePicture(const QString& path);
    // Draws the chart onto a printer page; "" or the reason it failed.
    QString printOn(QPrinter& printer);

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
    void showError(const QString& text);

    const MeasurementListModel& list_;
    MeasurementStatistics& statistics_;
    QString saveDirectory_;
    QTimer* pending_ = nullptr;
    // A deletion renumbers readings: the next refresh replaces every point; otherwise it
    // adds only the rows after those drawn.
    bool redrawAll_ = true;
    std::size_t drawnRows_ = 0;
    std::unique_ptr<QPrinter> printer_;
};

} // namespace zt40
