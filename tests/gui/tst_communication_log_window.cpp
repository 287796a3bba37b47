// The Communication Log window offscreen: it shows the frames of a running interval view as they
// go over the wire, copies and saves what it shows, forgets on Clear, and the menu item opens one
// window only.

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "../support/scratch_folder.h"
#include "../support/scripted_prompts.h"
#include "../support/sim_connection.h"
#include "live/interval_view.h"
#include "modal_driver.h"
#include "platform/text_file.h"
#include "protocol/sensor_operations.h"
#include "tools/communication_log_window.h"

using namespace qvx;
using namespace qvx::gui;

class TstCommunicationLogWindow : public QObject {
    Q_OBJECT

  private:
    test::ScratchFolder folder_;
    ScriptedPrompts prompts_;
    std::unique_ptr<AppContext> context_;
    std::unique_ptr<sim::SimServer> server_;

    static QPlainTextEdit* Text(QWidget& window) { return window.findChild<QPlainTextEdit*>("logText"); }
    static QPushButton* Button(QWidget& window, const char* name) {
        return window.findChild<QPushButton*>(name);
    }

    void connectToSim() {
        sim::SensorSettings sensor;
        sensor.lanes = 4;
        sensor.interval_seconds = 5;
        sensor.firewall = false;
        server_ =
            std::make_unique<sim::SimServer>(std::vector<sim::SensorSettings>{sensor}, sim::ServerSettings{});
        std::string why;
        QVERIFY2(server_->Start(&why), why.c_str());
        context_ = std::make_unique<AppContext>(prompts_, RegistryStore(folder_ / "registry"));
        QVERIFY2(test::ConnectToSim(*context_, *server_, &why), why.c_str());
        context_->state.lane_count = 4;
    }

  private slots:
    void cleanup() {
        if (context_)
            context_->link.tcp().Close();
        if (server_)
            server_->Stop();
        context_.reset();
        server_.reset();
    }

    void showsTheIntervalViewsFramesBothWays() {
        LogRing& ring = GuiLogRing();
        connectToSim();
        CommunicationLogWindow window(ring);
        window.show();
        SensorOperations operations(context_->protocol, context_->objects.SyncData());
        IntervalView view(*context_, operations);
        view.show();
        QTRY_VERIFY_WITH_TIMEOUT(view.timerActive(), 3000);
        // The view's first fetch is "XD" for the newest record; its reply comes back with data.
        QTRY_VERIFY_WITH_TIMEOUT(Text(window)->toPlainText().contains(" TX XD"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(Text(window)->toPlainText().contains(" RX XD"), 5000);
        const QString shown = Text(window)->toPlainText();
        QVERIFY(shown.contains("<0D>"));
        QVERIFY(!shown.contains('\r'));

        QDir().mkpath(QVX_SCREENSHOT_DIR);
        QVERIFY(window.grab().save(QString(QVX_SCREENSHOT_DIR) + "/communication_log_window.png"));
        QVERIFY(view.shutdown());
    }

    void copySaveAndClear() {
        LogRing& ring = GuiLogRing();
        ProgramLog().Message(LogLevel::Warning, "no reply from the sensor");
        CommunicationLogWindow window(ring);
        window.refresh();
        QVERIFY(Text(window)->toPlainText().endsWith("WARN no reply from the sensor"));

        Button(window, "copyButton")->click();
        QCOMPARE(QApplication::clipboard()->text(), Text(window)->toPlainText());

        const std::string path = folder_ / "saved.log";
        QVERIFY(window.saveTo(QString::fromStdString(path)));
        QCOMPARE(QString::fromStdString(ReadTextFile(path).value_or("")), Text(window)->toPlainText() + "\n");

        Button(window, "clearButton")->click();
        QVERIFY(Text(window)->toPlainText().isEmpty());
        ProgramLog().Message(LogLevel::Info, "after the clear");
        window.refresh();
        QVERIFY(Text(window)->toPlainText().endsWith("INFO after the clear"));
        QVERIFY(!Text(window)->toPlainText().contains("no reply"));
    }

    void aSaveThatFailsIsReported() {
        CommunicationLogWindow window(GuiLogRing());
        test::ModalDriver driver("okButton");
        QVERIFY(!window.saveTo(QString::fromStdString(folder_ / "missing/folder/x.log")));
        QVERIFY(driver.clicked());
        QCOMPARE(driver.caption(), QString("Communication Log"));
    }

    void theMenuItemOpensOneWindow() {
        QWidget parent;
        ShowCommunicationLog(&parent);
        ShowCommunicationLog(&parent);
        const auto windows = parent.findChildren<CommunicationLogWindow*>();
        QCOMPARE(windows.size(), qsizetype(1));
        QCOMPARE(windows[0]->windowTitle(), QString("Communication Log"));
        windows[0]->close();
    }
};

QTEST_MAIN(TstCommunicationLogWindow)
#include "tst_communication_log_window.moc"
