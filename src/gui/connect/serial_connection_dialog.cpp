#include "connect/serial_connection_dialog.h"
#include "connect/abandon_connection.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "connect/advanced_connection_settings_dialog.h"
#include "connect/connection_text.h"
#include "connect/dialog_widgets.h"
#include "connect/select_sensor_id_dialog.h"
#include "context/app_context.h"

namespace qvx::gui {

namespace {

constexpr int kPollMs = 50;

}  // namespace

SerialConnectionDialog::SerialConnectionDialog(AppContext& app, QWidget* parent)
    : QDialog(parent), app_(app), worker_(app) {
    setWindowTitle("Serial connection...");
    prompt_ = new QLabel;
    prompt_->setObjectName("promptLabel");
    status_ = new QLabel;
    status_->setObjectName("statusLabel");
    status_->setWordWrap(true);
    status_->setMinimumWidth(460);
    properties_ = new QLabel;
    properties_->setObjectName("propertiesLabel");
    connect_ = NamedButton("CONNECT", "connectButton");
    connect_->setDefault(true);
    advanced_ = NamedButton("Advanced", "advancedButton");
    cancel_ = NamedButton("Cancel", "cancelButton");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(advanced_);
    buttons->addStretch();
    buttons->addWidget(connect_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt_);
    layout->addWidget(status_);
    layout->addWidget(properties_);
    layout->addLayout(buttons);

    connect(connect_, &QPushButton::clicked, this, &SerialConnectionDialog::startConnect);
    connect(advanced_, &QPushButton::clicked, this, &SerialConnectionDialog::openAdvanced);
    connect(cancel_, &QPushButton::clicked, this, &SerialConnectionDialog::cancelConnection);
    connect(&poll_, &QTimer::timeout, this, &SerialConnectionDialog::pollWorker);
    poll_.setInterval(kPollMs);

    selector_ = MakeSensorSelector(this, this);
    defaults_ = LoadConnectionDefaults(SettingsKind::Serial, app_.registry, app_.state);
    refreshProperties();
    updateWidgets();
    connect_->setFocus();
}

SerialConnectionDialog::~SerialConnectionDialog() {
    if (task_.running()) {
        worker_.RequestCancel();
    }
}

void SerialConnectionDialog::startConnect() {
    if (task_.running()) {
        return;
    }
    phase_ = Phase::Busy;
    status_->clear();
    app_.state.link_kind = LinkKind::None;
    worker_.progress().Clear();
    task_.start([this] { work(); });
    poll_.start();
    updateWidgets();
}

// Worker thread: the search, then (unless it was cancelled) the finishing step.
void SerialConnectionDialog::work() {
    const SerialConnectWorker::Outcome outcome = worker_.Run();
    search_cancelled_.store(outcome == SerialConnectWorker::Outcome::Cancelled);
    if (outcome == SerialConnectWorker::Outcome::Cancelled) {
        return;
    }
    finish_.store(AfterSerialConnect(app_, outcome == SerialConnectWorker::Outcome::Connected, selector_,
                                     worker_.progress()));
}

void SerialConnectionDialog::pollWorker() {
    const std::string status = worker_.status();
    if (!status.empty()) {
        status_->setText(QString::fromStdString(status));
    }
    if (task_.collect()) {
        poll_.stop();
        finish();
    }
}

void SerialConnectionDialog::finish() {
    // A cancel the worker never saw (it came during the finishing step) must not stop the next search.
    app_.state.cancel_connect.store(false);
    if (cancelling_ || search_cancelled_.load()) {
        // A cancel that came while the finishing step ran wins over the link it may have made.
        AbandonConnection(app_.link);
        reject();
        return;
    }
    switch (finish_.load()) {
        case ConnectFinish::Success:
            accept();
            break;
        case ConnectFinish::Cancelled:
            AbandonConnection(app_.link);
            reject();
            break;
        case ConnectFinish::Failed:
            showFailed();
            break;
    }
}

void SerialConnectionDialog::showFailed() {
    phase_ = Phase::Failed;
    AbandonConnection(app_.link);
    status_->setText(QString::fromStdString(FailedSerialSearchText(worker_.search_log())));
    updateWidgets();
    adjustSize();  // the list of what was tried may take several lines
}

void SerialConnectionDialog::openAdvanced() {
    AdvancedConnectionSettingsDialog dialog(SettingsKind::Serial, app_.registry, app_.state, {}, this);
    if (dialog.exec() == QDialog::Accepted) {
        defaults_ = dialog.collect();
    }
    phase_ = Phase::Idle;
    status_->clear();
    refreshProperties();
    updateWidgets();
}

// The worker sees the flag before its next port or attempt and ends; the window closes once it has.
void SerialConnectionDialog::cancelConnection() {
    if (!task_.running()) {
        reject();
        return;
    }
    cancelling_ = true;
    worker_.RequestCancel();
    updateWidgets();
}

void SerialConnectionDialog::closeEvent(QCloseEvent* event) {
    if (task_.running()) {
        event->ignore();
        cancelConnection();
        return;
    }
    QDialog::closeEvent(event);
}

void SerialConnectionDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        cancelConnection();
        return;
    }
    QDialog::keyPressEvent(event);
}

void SerialConnectionDialog::refreshProperties() {
    properties_->setText(QString::fromStdString(SerialPropertiesLine(defaults_, app_.state)));
}

void SerialConnectionDialog::updateWidgets() {
    static const char* const kPrompts[] = {kSerialIdlePrompt, kSerialBusyPrompt, kSerialFailedPrompt};
    prompt_->setText(kPrompts[static_cast<int>(phase_)]);
    const bool busy = phase_ == Phase::Busy;
    connect_->setEnabled(!busy);
    advanced_->setEnabled(!busy);
    cancel_->setEnabled(!cancelling_);
    if (!busy) {
        connect_->setFocus();
    }
}

bool RunSerialConnection(AppContext& app, QWidget* parent) {
    SerialConnectionDialog dialog(app, parent);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace qvx::gui
