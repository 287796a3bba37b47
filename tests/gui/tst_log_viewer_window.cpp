// The read-only log window shown when no text editor starts: the file's text, fresh on Reload,
// and a clear word when the file cannot be read.

#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QtTest>

#include "live/log_viewer_window.h"
#include "support/screenshot.h"

using namespace qvx::gui;

class TstLogViewerWindow : public QObject {
    Q_OBJECT
  private slots:
    void showsTheFileReadOnlyAndReloads() {
        QTemporaryDir dir;
        const QString path = dir.filePath("intervals.log");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Lane 1        42  55   12.5\r\n");
        file.close();
        auto* viewer = new LogViewerWindow(path);
        viewer->show();
        QVERIFY(viewer->shownText().contains("Lane 1        42  55   12.5"));
        QVERIFY(viewer->findChild<QPlainTextEdit*>("logText")->isReadOnly());
        QVERIFY(file.open(QIODevice::Append));
        file.write("Lane 2         7  61    3.1\r\n");
        file.close();
        viewer->reload();
        QVERIFY(viewer->shownText().contains("Lane 2"));
        qvx::test::GrabScreenshot(viewer, "log_viewer_window");
        viewer->close();
    }

    void anUnreadableFileIsNamed() {
        LogViewerWindow viewer("/nonexistent/folder/x.log");
        QVERIFY(viewer.shownText().isEmpty());
        QVERIFY(viewer.findChild<QLabel*>() != nullptr);
        bool named = false;
        for (QLabel* label : viewer.findChildren<QLabel*>())
            named = named || label->text().contains("could not be read");
        QVERIFY(named);
    }
};

QTEST_MAIN(TstLogViewerWindow)
#include "tst_log_viewer_window.moc"
