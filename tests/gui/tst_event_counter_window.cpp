// The Event Counter window: its layout for 1 to 8 lanes (highest lane on top, buttons below
// lane 1), pause, resume and reset over the shared counter store, and its screenshots.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include "live/event_counter_window.h"
#include "support/scripted_dialog_prompts.h"

using namespace qvx;
using namespace qvx::gui;

class TstEventCounterWindow : public QObject {
    Q_OBJECT

  private slots:
    void layoutFollowsTheLaneCount() {
        LaneStatistics statistics;
        EventCounterWindow window(statistics, 8);
        for (int lanes = 1; lanes <= 8; ++lanes) {
            window.setLaneCount(lanes);
            QCOMPARE(window.height(),
                     EventCounterWindow::kWindowHeights[lanes] - EventCounterWindow::kFrameHeight);
            QCOMPARE(window.countField(lanes)->y(), 30);  // the highest lane on the top row
            const int lane_one_top = EventCounterWindow::kRowTops[static_cast<std::size_t>(lanes - 1)];
            QCOMPARE(window.countField(1)->y(), lane_one_top);
            QCOMPARE(window.findChild<QPushButton*>("resetButton")->y(), lane_one_top + 40);
            for (int lane = 1; lane <= 8; ++lane) {
                QCOMPARE(window.countField(lane)->isVisibleTo(&window), lane <= lanes);
            }
            const QRect buttons = window.findChild<QPushButton*>("resetButton")
                                      ->geometry()
                                      .united(window.findChild<QToolButton*>("resumeButton")->geometry());
            QVERIFY(window.rect().contains(buttons));
        }
        window.setLaneCount(0);
        QCOMPARE(window.height(), 114 - EventCounterWindow::kFrameHeight);
    }

    void pauseResumeAndReset() {
        LaneStatistics statistics;
        EventCounterWindow window(statistics, 4);
        statistics.CountEvent(CountedEvent{2, 0, 40, 100, 0});
        window.refresh();
        QCOMPARE(window.countField(2)->text(), QString("1"));
        QVERIFY(window.findChild<QToolButton*>("resumeButton")->isChecked());
        QCOMPARE(window.findChild<QToolButton*>("pauseButton")->toolTip(), QString("Press to pause counter"));
        QCOMPARE(window.findChild<QToolButton*>("resumeButton")->toolTip(),
                 QString("Press to resume counter"));
        QCOMPARE(window.findChild<QPushButton*>("resetButton")->toolTip(),
                 QString("Press to return counter to zero"));

        window.findChild<QToolButton*>("pauseButton")->click();
        QVERIFY(window.findChild<QToolButton*>("pauseButton")->isChecked());
        QVERIFY(!window.findChild<QToolButton*>("resumeButton")->isChecked());
        statistics.CountEvent(CountedEvent{2, 0, 40, 100, 0});
        QVERIFY(!statistics.count_changed());
        window.refresh();
        QCOMPARE(window.countField(2)->text(), QString("1"));

        window.findChild<QToolButton*>("resumeButton")->click();
        QVERIFY(window.findChild<QToolButton*>("resumeButton")->isChecked());
        statistics.CountEvent(CountedEvent{2, 0, 40, 100, 0});
        window.refresh();
        QCOMPARE(window.countField(2)->text(), QString("2"));

        window.findChild<QPushButton*>("resetButton")->click();
        QCOMPARE(window.countField(2)->text(), QString("0"));
        QCOMPARE(statistics.Counts(), LaneCounts{});
    }

    void screenshots() {
        LaneStatistics statistics;
        const std::uint32_t counted[] = {1234, 987, 56, 0, 7, 4321, 10, 9999};
        for (int lane = 1; lane <= 8; ++lane) {
            for (std::uint32_t k = 0; k < counted[lane - 1]; ++k)
                statistics.CountEvent(CountedEvent{lane, 0, 40, 100, 0});
        }
        const QString suffix = qEnvironmentVariable("QVX_SCREENSHOT_SUFFIX");
        for (int lanes : {8, 3}) {
            EventCounterWindow window(statistics, lanes);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            gui::test::SaveScreenshot(window, QString("event_counter_%1_lanes%2").arg(lanes).arg(suffix));
        }
    }
};

QTEST_MAIN(TstEventCounterWindow)
#include "tst_event_counter_window.moc"
