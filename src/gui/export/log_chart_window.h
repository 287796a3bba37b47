#pragma once
// A chart of an interval log: volume, speed and occupancy per lane over time, one plot each,
// on one time axis. Long logs are drawn in time buckets (the title says how wide).

#include <QDialog>
#include <array>

#include "export/log_chart_data.h"

class QLabel;
class QChartView;
class QLineSeries;

namespace qvx {
class UserPrompts;
class AppContext;
}  // namespace qvx

namespace qvx::gui {

class LogChartWindow : public QDialog {
    Q_OBJECT
  public:
    explicit LogChartWindow(QWidget* parent = nullptr);

    // Reads the whole log and draws it. False, after telling the user why, when the file holds
    // nothing to draw.
    bool showLog(const QString& path, UserPrompts& prompts);
    void showChart(const QString& title, const LogChart& chart);

    // As a click on the lane's legend entry: hides a shown lane in all plots, shows a hidden one.
    void toggleLane(int lane);

    const LogChart& chart() const { return chart_; }
    QChartView* plot(int metric) const { return plots_[static_cast<std::size_t>(metric)]; }

    enum Metric { Volume = 0, Speed = 1, Occupancy = 2 };

  private:
    void drawMetric(Metric metric);

    LogChart chart_;
    std::array<QChartView*, 3> plots_{};
    QLabel* summary_ = nullptr;
};

// Data Logs' "Chart of a Log...": asks for a log (starting from the one last exported) and
// opens its chart in a window of its own.
void ShowLogChart(AppContext& app, QWidget* parent);
// Opens a chart window on path; null when the log holds nothing to draw.
LogChartWindow* OpenLogChart(const QString& path, UserPrompts& prompts, QWidget* parent);

}  // namespace qvx::gui
