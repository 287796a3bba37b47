#include <QtTest>

#include "app/main_window.h"

class TstMainWindow : public QObject {
    Q_OBJECT
private slots:
    void titleNamesProgramAndVersion() {
        qvx::gui::MainWindow window;
        QCOMPARE(window.windowTitle(), QString("Quorvix Manager 3.0.1"));
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_main_window.moc"
