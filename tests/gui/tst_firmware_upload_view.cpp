// The firmware upload view and the two upload progress windows offscreen, against the simulated
// sensor over loopback TCP: recognition of the chosen file, an FPGA upload from the view, the
// figures shown while packets go out, Cancel with the FPGA warning, and the compatibility window.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <fstream>
#include <memory>

#include "../support/scratch_folder.h"
#include "../support/scripted_prompts.h"
#include "../support/sim_connection.h"
#include "firmware/compatibility.h"
#include "firmware/firmware_bundle.h"
#include "firmware/firmware_upload_view.h"
#include "firmware/upload_progress_dialog.h"
#include "modal_driver.h"
#include "protocol/sensor_operations.h"
#include "support/main_window_harness.h"

using namespace qvx;
using namespace qvx::gui;

namespace {

std::string Digits(const std::string& head, std::size_t count) {
    std::string digits = head;
    for (std::size_t i = 0; digits.size() < count; ++i)
        digits += "0123456789ABCDEF"[(i * 5 + 1) % 16];
    digits.resize(count);
    return digits;
}

std::string Lines(const std::string& digits) {
    std::string text;
    for (std::size_t i = 0; i < digits.size(); i += 64)
        text += digits.substr(i, 64) + "\r\n";
    return text;
}

// Waits on the user-interface thread for the upload window, then closes it once its job ended.
class CloseWhenDone : public QObject {
  public:
    CloseWhenDone() {
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* dialog = qobject_cast<UploadProgressDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            auto* button = dialog->findChild<QPushButton*>("cancel");
            if (button && button->text() == "Close") {
                status = dialog->statusText();
                test::SaveScreenshot(dialog, "upload_progress_finished");
                button->click();
                timer_.stop();
            }
        });
        timer_.start(20);
    }
    QString status;

  private:
    QTimer timer_;
};

}  // namespace

class TstFirmwareUploadView : public QObject {
    Q_OBJECT

  private:
    test::ScratchFolder folder_;
    ScriptedPrompts prompts_;
    std::unique_ptr<AppContext> context_;
    std::unique_ptr<SensorOperations> operations_;
    std::unique_ptr<sim::SimServer> server_;

    void connectToSim(int slow_ms = 0) {
        sim::SensorSettings sensor;
        sensor.firewall = false;
        sensor.restart_ms = 0;
        sim::ServerSettings settings;
        settings.faults.slow_ms = slow_ms;
        server_ = std::make_unique<sim::SimServer>(std::vector<sim::SensorSettings>{sensor}, settings);
        std::string why;
        QVERIFY2(server_->Start(&why), why.c_str());
        context_ = std::make_unique<AppContext>(prompts_, RegistryStore(folder_ / "registry"));
        QVERIFY2(test::ConnectToSim(*context_, *server_, &why), why.c_str());
        context_->state.link_kind = LinkKind::Internet;
        context_->state.synchronize_clock = false;
        operations_ = std::make_unique<SensorOperations>(context_->protocol, context_->objects.SyncData());
    }

    QString writeFile(const std::string& name, const std::string& content) {
        const std::string path = folder_ / name;
        std::ofstream(path, std::ios::binary) << content;
        return QString::fromStdString(path);
    }

    UploadImage fpgaImage(std::size_t digits) {
        const QString path = writeFile("big.hex", Lines(Digits("FFFFFFFFAA99", digits)));
        const auto image = HexImage::Load(ImageKind::Fpga, path.toStdString());
        return UploadImage::FromFile(*image, path.toStdString());
    }

  private slots:
    void cleanup() {
        if (context_)
            context_->link.tcp().Close();
        if (server_)
            server_->Stop();
        operations_.reset();
        context_.reset();
        server_.reset();
        prompts_ = ScriptedPrompts();
    }

    void browseRecognisesTheFileKind() {
        connectToSim();
        FirmwareUploadView view(*context_, *operations_);
        view.resize(520, 300);
        const QString dsp = writeFile("dsp.hex", "0000ABCD\r\n" + Lines(Digits("10AA", 500)));
        QString chosen = dsp;
        view.setFileChooser([&](QWidget*) { return chosen; });
        auto* upload = view.findChild<QPushButton*>("upload");
        QVERIFY(!upload->isEnabled());

        view.setKind(ImageKind::Fpga);
        view.chooseFile();
        QVERIFY(view.path().isEmpty());
        QCOMPARE(prompts_.messages.size(), std::size_t(1));
        QCOMPARE(prompts_.messages[0].caption, std::string("Invalid File"));
        QCOMPARE(prompts_.messages[0].text, std::string("The selected file is not a FPGA hex file."));

        view.setKind(ImageKind::Dsp);
        view.chooseFile();
        QCOMPARE(view.path(), dsp);
        QVERIFY(upload->isEnabled());
        view.show();
        test::SaveScreenshot(&view, "firmware_upload_view");

        view.setKind(ImageKind::Fpga);  // a file recognised as DSP is not kept for FPGA
        QVERIFY(view.path().isEmpty());
        QVERIFY(!upload->isEnabled());
    }

    void fpgaUploadFromTheViewAsksFirstAndAboutRebooting() {
        connectToSim();
        FirmwareUploadView view(*context_, *operations_);
        const QString fpga = writeFile("fpga.hex", Lines(Digits("FFFFFFFFAA99", 2000)));
        view.setFileChooser([&](QWidget*) { return fpga; });
        view.setKind(ImageKind::Fpga);
        view.chooseFile();
        prompts_.ask_answers = {true, false};  // overwrite: yes; reboot: Continue
        CloseWhenDone closer;
        QSignalSpy finished(&view, &FirmwareUploadView::uploadFinished);
        view.startUpload();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toInt(), static_cast<int>(UploadOutcome::Succeeded));
        QCOMPARE(prompts_.questions.size(), std::size_t(2));
        QCOMPARE(prompts_.questions[0],
                 std::string("Firmware Upload|Are you sure you want to overwrite the FPGA "
                             "firmware with fpga.hex?"));
        QVERIFY(prompts_.questions[1].starts_with("Reboot...?|"));
        QCOMPARE(closer.status, QString(upload_text::kSuccessful));
        QCOMPARE(server_->sensor(0).Firmware().Received(sim::FirmwarePart::Fpga).digits.size(),
                 std::size_t(2000));
    }

    void progressWindowShowsFiguresAndCancelWarnsForFpga() {
        connectToSim(2);
        UploadJob job(context_->protocol, fpgaImage(60000));
        UploadProgressDialog dialog(job, context_->prompts());
        QCOMPARE(dialog.windowTitle(), QString("Uploading firmware..."));
        dialog.show();
        QTRY_VERIFY_WITH_TIMEOUT(dialog.percent() > 0 && dialog.rateText().endsWith("bytes/s"), 10000);
        QVERIFY(dialog.statusText().startsWith("Uploading big.hex...("));
        QVERIFY(dialog.timeLeftText().contains(':'));
        test::SaveScreenshot(&dialog, "upload_progress_file");

        dialog.findChild<QPushButton*>("cancel")->click();
        QCOMPARE(prompts_.messages.size(), std::size_t(1));
        QCOMPARE(prompts_.messages[0].text, std::string(upload_text::kFpgaCancelWarning));
        QTRY_VERIFY_WITH_TIMEOUT(dialog.outcome().has_value(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.findChild<QPushButton*>("cancel")->text(), QString("Close"), 5000);
        QCOMPARE(*dialog.outcome(), UploadOutcome::Cancelled);
        QCOMPARE(server_->RequestLog().back(), std::string("D6"));
    }

    void compatibilityWindowShowsItsOwnTitleAndTexts() {
        connectToSim(2);
        const auto& bundle = BuiltInBundle();
        QVERIFY(bundle.has_value());
        UploadJob job(context_->protocol,
                      PlannedImages(*bundle, upload_plan::kSideFireDsp + upload_plan::kFpga));
        job.SetSleep([](int ms) { QThread::msleep(static_cast<unsigned long>(std::min(ms, 20))); });
        UploadProgressDialog dialog(job, context_->prompts());
        QCOMPARE(dialog.windowTitle(), QString("Uploading Firmware..."));
        dialog.show();
        QTRY_VERIFY_WITH_TIMEOUT(
            dialog.statusText().startsWith("Uploading firmware...(") && dialog.percent() > 0, 10000);
        test::SaveScreenshot(&dialog, "upload_progress_compatibility");
        QTRY_VERIFY_WITH_TIMEOUT(dialog.outcome().has_value(), 60000);
        QCOMPARE(*dialog.outcome(), UploadOutcome::Succeeded);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 5000);  // closes by itself after success
        QCOMPARE(server_->sensor(0).Firmware().images_loaded(), 2);
    }

    // After connecting to a sensor with old firmware, UPLOAD in the compatibility window loads
    // the bundle in "Uploading Firmware...", and the connect sequence goes on with matching versions.
    void compatibilityUploadFromTheConnectSequence() {
        sim::SensorSettings sensor = test::MainWindowHarness::DefaultSensor();
        sensor.version_text = "DSP: QVX_v2.30.09.S02.R01 FPGA: 0029";
        sensor.restart_ms = 1000;
        test::MainWindowHarness harness(sensor);
        QVERIFY(harness.started());
        bool upload_clicked = false;
        bool progress_seen = false;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            if (modal->windowTitle() == QString(kIncompatibleWindowTitle) && !upload_clicked) {
                for (auto* button : modal->findChildren<QPushButton*>()) {
                    if (button->text() == "UPLOAD") {
                        upload_clicked = true;
                        button->click();
                    }
                }
            } else if (modal->windowTitle() == QString(upload_text::kCompatWindowTitle) && !progress_seen &&
                       modal->findChild<QLabel*>("status")->text().startsWith("Uploading firmware...(")) {
                progress_seen = true;
                test::SaveScreenshot(modal, "main_window_compatibility_upload");
            }
        });
        answer.start(20);
        harness.open();
        QVERIFY(harness.waitConnected(90000));
        QVERIFY(upload_clicked);
        QVERIFY(progress_seen);
        QCOMPARE(harness.sensor().VersionText(), std::string(kExampleSensorVersion));
        QCOMPARE(harness.sensor().Firmware().images_loaded(), 2);
        const auto requests = harness.takeRequests();
        const auto last_upload = std::find_if(requests.rbegin(), requests.rend(), [](const std::string& r) {
            return r.find("D0") != std::string::npos;
        });
        QVERIFY(last_upload != requests.rend());
        // After the restart: the mode and the versions are read again, then the clock is set.
        const bool clock_set_after = std::any_of(requests.rbegin(), last_upload, [](const std::string& r) {
            return r.find("S4") != std::string::npos;
        });
        QVERIFY(clock_set_after);
    }
};

QTEST_MAIN(TstFirmwareUploadView)
#include "tst_firmware_upload_view.moc"
