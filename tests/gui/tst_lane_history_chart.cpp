// The interval view's lane chart: one scale for every lane, a gap where no vehicle passed, the
// values under the pointer, and as many intervals as the width holds.

#include <QtTest>

#include "live/lane_history_chart.h"
#include "support/screenshot.h"

using namespace qvx::gui;

class TstLaneHistoryChart : public QObject {
    Q_OBJECT
  private slots:
    void hoverShowsTheIntervalUnderThePointer() {
        LaneHistoryChart chart;
        chart.resize(60 * LaneHistoryChart::kSlotPixels + 2, 30);
        // 2024-03-07 12:00:00 UTC is 763041600 seconds after 2000-01-01.
        const quint32 t = 763041600;
        chart.setHistory({{4, 55, t}, {0, 0, t + 20}, {7, 61, t + 40}});
        QCOMPARE(chart.slotCount(), 60);
        const int newest_x = chart.width() - LaneHistoryChart::kSlotPixels / 2 - 1;
        QVERIFY2(chart.valuesAt(newest_x).endsWith(": volume 7, speed 61"),
                 qPrintable(chart.valuesAt(newest_x)));
        const QString empty = chart.valuesAt(newest_x - LaneHistoryChart::kSlotPixels);
        QVERIFY2(empty.endsWith(": volume 0, no vehicles"), qPrintable(empty));
        // Left of the oldest interval nothing is drawn, so nothing is told.
        QVERIFY(chart.valuesAt(5).isEmpty());
    }

    void oneScaleForAllLanesAndAGapWithoutVehicles() {
        QWidget holder;
        auto* busy = new LaneHistoryChart(&holder);
        auto* quiet = new LaneHistoryChart(&holder);
        for (auto* chart : {busy, quiet}) {
            chart->resize(120, 40);
            chart->setScale(20, 80);
        }
        busy->move(0, 0);
        quiet->move(0, 50);
        busy->setHistory({{20, 80, 1}, {0, 0, 2}, {20, 80, 3}});
        quiet->setHistory({{2, 40, 1}, {2, 40, 2}, {2, 40, 3}});
        holder.resize(120, 90);
        holder.show();
        QVERIFY(QTest::qWaitForWindowExposed(&holder));
        const QImage busy_image = busy->grab().toImage();
        const QImage quiet_image = quiet->grab().toImage();
        // On the shared scale the quiet lane's bars stay low: its top half is background only.
        const QRgb background = quiet_image.pixel(1, 1);
        for (int y = 3; y < quiet_image.height() / 2; ++y) {
            for (int x = quiet_image.width() - 3 * LaneHistoryChart::kSlotPixels; x < quiet_image.width() - 1;
                 ++x)
                QCOMPARE(quiet_image.pixel(x, y), background);
        }
        // The slot without vehicles has no speed point in it: nothing drawn above its (empty) bar.
        const int gap_x =
            busy_image.width() - 2 * LaneHistoryChart::kSlotPixels + LaneHistoryChart::kSlotPixels / 2 - 1;
        int painted = 0;
        for (int y = 3; y < busy_image.height() - 3; ++y)
            painted += busy_image.pixel(gap_x, y) != background ? 1 : 0;
        QCOMPARE(painted, 0);
        qvx::test::GrabScreenshot(&holder, "lane_history_charts");
    }
};

QTEST_MAIN(TstLaneHistoryChart)
#include "tst_lane_history_chart.moc"
