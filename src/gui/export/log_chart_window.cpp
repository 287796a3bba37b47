#include "export/log_chart_window.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>

#include "app/palette_colours.h"
#include "context/app_context.h"
#include "export/export_settings.h"

namespace qvx::gui {

namespace {

struct MetricInfo {
    const char* title;
    double ChartPoint::*value;
};

constexpr MetricInfo kMetrics[] = {
    {"Volume (vehicles per %1)", &ChartPoint::volume},
    {"Speed (mean)", &ChartPoint::speed},
    {"Occupancy (%)", &ChartPoint::occupancy},
};

QDateTime WallClock(std::int64_t seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
}

QString AxisFormat(const LogChart& chart) {
    const std::int64_t span = chart.last_time - chart.first_time;
    if (span > 60LL * 86400)
        return "yyyy-MM-dd";
    if (span > 2LL * 86400)
        return "MM-dd hh:mm";
    return "hh:mm";
}

}  // namespace

LogChartWindow::LogChartWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Chart of a Log");
    summary_ = new QLabel;
    summary_->setObjectName("summary");
    summary_->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    for (QChartView*& plot : plots_) {
        plot = new QChartView;
        plot->setRenderHint(QPainter::Antialiasing);
        plot->setRubberBand(QChartView::HorizontalRubberBand);
        plot->setMinimumHeight(200);
        layout->addWidget(plot, 1);
    }
    resize(900, 760);
}

bool LogChartWindow::showLog(const QString& path, UserPrompts& prompts) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const LogReadResult read = ReadIntervalLog(path.toStdString(), {});
    QApplication::restoreOverrideCursor();
    if (!read.usable()) {
        const ExportMessage message = LogReadMessage(read.status, read.data.lane_count);
        prompts.Message({message.text, message.caption, IconKind::Error});
        return false;
    }
    showChart(QFileInfo(path).fileName(), BuildLogChart(read.data));
    return true;
}

void LogChartWindow::showChart(const QString& title, const LogChart& chart) {
    chart_ = chart;
    setWindowTitle("Chart of a Log - " + title);
    summary_->setText(QString("%1: %2 lanes, %3 to %4, one point per %5. Drag across a plot to zoom in; "
                              "click a lane in the legend to hide or show it.")
                          .arg(title)
                          .arg(chart_.lanes.size())
                          .arg(WallClock(chart_.first_time).toString("yyyy-MM-dd hh:mm"))
                          .arg(WallClock(chart_.last_time).toString("yyyy-MM-dd hh:mm"))
                          .arg(QString::fromStdString(BucketText(chart_.bucket_seconds))));
    for (int metric = Volume; metric <= Occupancy; ++metric)
        drawMetric(static_cast<Metric>(metric));
    // A click on a lane in the legend hides or shows that lane in all three plots.
    const QList<QLegendMarker*> markers = plots_[Volume]->chart()->legend()->markers();
    for (qsizetype lane = 0; lane < markers.size(); ++lane) {
        connect(markers[lane], &QLegendMarker::clicked, this, [this, lane, marker = markers[lane]] {
            const bool visible = !marker->series()->isVisible();
            for (QChartView* plot : plots_)
                plot->chart()->series().at(lane)->setVisible(visible);
            marker->setVisible(true);
            const QColor text = marker->series()->chart()->legend()->labelColor();
            marker->setLabelBrush(visible ? text : QColor(text.red(), text.green(), text.blue(), 110));
        });
    }
}

void LogChartWindow::toggleLane(int lane) {
    const QList<QLegendMarker*> markers = plots_[Volume]->chart()->legend()->markers();
    if (lane >= 0 && lane < markers.size())
        emit markers[lane]->clicked();
}

void LogChartWindow::drawMetric(Metric metric) {
    const MetricInfo& info = kMetrics[metric];
    auto* chart = new QChart;
    chart->setTheme(IsDarkPalette(palette()) ? QChart::ChartThemeDark : QChart::ChartThemeLight);
    QString title = info.title;
    if (metric == Volume)
        title = title.arg(QString::fromStdString(BucketText(chart_.bucket_seconds)));
    chart->setTitle(title);
    // One legend, above the first plot, so that the three plots keep the same width.
    chart->legend()->setVisible(metric == Volume);
    chart->legend()->setAlignment(Qt::AlignTop);
    auto* time_axis = new QDateTimeAxis;
    time_axis->setFormat(AxisFormat(chart_));
    time_axis->setTickCount(7);
    auto* value_axis = new QValueAxis;
    value_axis->setLabelFormat("%g");
    chart->addAxis(time_axis, Qt::AlignBottom);
    chart->addAxis(value_axis, Qt::AlignLeft);
    double highest = 1;
    for (const LaneSeries& lane : chart_.lanes) {
        auto* series = new QLineSeries;
        series->setName(QString::fromStdString(lane.lane_name));
        QList<QPointF> points;
        points.reserve(static_cast<qsizetype>(lane.points.size()));
        for (const ChartPoint& point : lane.points) {
            if (metric == Speed && !point.speed_measured)
                continue;
            points.append(QPointF(static_cast<double>(point.time) * 1000.0, point.*info.value));
            highest = std::max(highest, point.*info.value);
        }
        series->replace(points);
        chart->addSeries(series);
        series->attachAxis(time_axis);
        series->attachAxis(value_axis);
    }
    time_axis->setRange(WallClock(chart_.first_time),
                        WallClock(std::max(chart_.last_time, chart_.first_time + 60)));
    value_axis->setRange(0, highest * 1.05);
    value_axis->applyNiceNumbers();
    QChart* old = plots_[metric]->chart();
    plots_[metric]->setChart(chart);
    delete old;
}

LogChartWindow* OpenLogChart(const QString& path, UserPrompts& prompts, QWidget* parent) {
    auto* window = new LogChartWindow(parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (!window->showLog(path, prompts)) {
        delete window;
        return nullptr;
    }
    window->show();
    return window;
}

void ShowLogChart(AppContext& app, QWidget* parent) {
    const QString start = QString::fromStdString(LoadImportChoice(app.registry).file);
    const QString path =
        QFileDialog::getOpenFileName(parent, "Chart of a Log", start, "Quorvix Log (*.log);;All Files (*)");
    if (!path.isEmpty())
        OpenLogChart(path, app.prompts(), parent);
}

}  // namespace qvx::gui
