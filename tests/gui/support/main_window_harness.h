#pragma once
// Starts the desktop program's main window offscreen against an in-process simulated sensor on
// loopback TCP, the way scripts/demo does: an input parameters file names the address, the port
// and the sensor ID, and (as with --connect) the first Internet connection uses it by itself.

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/main_window.h"
#include "sim_server.h"

namespace qvx::test {

class MainWindowHarness {
  public:
    explicit MainWindowHarness(sim::SensorSettings sensor = DefaultSensor(), sim::FaultSettings faults = {}) {
        sim::ServerSettings settings;
        settings.transport = sim::Transport::Tcp;
        settings.faults = faults;
        server_ =
            std::make_unique<sim::SimServer>(std::vector<sim::SensorSettings>{std::move(sensor)}, settings);
        std::string error;
        started_ = server_->Start(&error);
        params_path_ = dir_.filePath("params.txt");
        QFile file(params_path_);
        if (file.open(QIODevice::WriteOnly)) {
            QTextStream(&file) << "127.0.0.1 " << server_->tcp_port() << " "
                               << QString::fromStdString(sensor_id_) << "\n";
        }
    }

    static sim::SensorSettings DefaultSensor() {
        sim::SensorSettings sensor;
        sensor.id = "0012";
        sensor.multi_drop_network = true;
        sensor.config_mode = '2';
        return sensor;
    }

    bool started() const { return started_; }
    sim::SimServer& server() { return *server_; }
    sim::SimulatedSensor& sensor() { return server_->sensor(0); }
    QString paramsPath() const { return params_path_; }

    // Builds the program and shows the main window; with connect, the first connection uses the
    // parameters file by itself (the --connect option).
    void open(bool connect = true) {
        gui::MainWindowOptions options;
        options.splash_ms = 0;
        if (connect) {
            options.pending_address = params_path_;
            options.auto_connect = true;
        }
        openWith(options);
    }

    void openWith(const gui::MainWindowOptions& options) {
        application_ = std::make_unique<gui::Application>(options);
        application_->window().show();
    }

    gui::Application& application() { return *application_; }
    gui::MainWindow& window() { return application_->window(); }
    AppContext& context() { return application_->context(); }

    // Waits for the connect sequence (menus installed with a sensor connected).
    bool waitConnected(int timeout_ms = 30000) {
        QSignalSpy finished(&window(), &gui::MainWindow::connectSequenceFinished);
        return finished.wait(timeout_ms) && window().connected();
    }

    // The request codes the sensor received since the last call, without the multi-drop prefix
    // and the payload.
    std::vector<std::string> takeRequests() {
        const std::vector<std::string> log = server_->RequestLog();
        std::vector<std::string> codes;
        for (std::size_t k = consumed_; k < log.size(); ++k)
            codes.push_back(log[k]);
        consumed_ = log.size();
        return codes;
    }

    void close() { application_.reset(); }

  private:
    std::string sensor_id_ = "0012";
    QTemporaryDir dir_;
    QString params_path_;
    std::unique_ptr<sim::SimServer> server_;
    std::unique_ptr<gui::Application> application_;
    bool started_ = false;
    std::size_t consumed_ = 0;
};

}  // namespace qvx::test
