#include <QtTest>

#include "app/main_window.h"
#include "support/main_window_harness.h"

using namespace qvx;
using namespace qvx::gui;
using qvx::gui::test::MainWindowHarness;

class TstMainWindow : public QObject {
    Q_OBJECT
  private slots:
    void connectSequence() {
        MainWindowHarness harness;
        QVERIFY(harness.started());
        harness.open();
        QVERIFY(harness.waitConnected());
        for (const auto& r : harness.takeRequests())
            qDebug() << QString::fromStdString(r);
        QCOMPARE(harness.window().menuSet(), MenuSet::SideFire);
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_main_window.moc"
