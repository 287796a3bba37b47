#include "connect/internet_connection_dialog.h"
#include "connect/abandon_connection.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/busy_flag.h"
#include "connect/address_book.h"
#include "connect/address_book_dialog.h"
#include "connect/advanced_connection_settings_dialog.h"
#include "connect/connection_text.h"
#include "connect/dialog_prompts.h"
#include "connect/dialog_widgets.h"
#include "connect/input_parameters.h"
#include "connect/remote_dialog_frame.h"
#include "connect/select_sensor_id_dialog.h"
#include "context/app_context.h"
#include "protocol/busy_cursor.h"

namespace qvx::gui {

namespace {

constexpr int kPollMs = 50;
constexpr int kCancelPollMs = 250;
constexpr int kContinueWaitMs = 1000;

}  // namespace

InternetConnectionDialog::InternetConnectionDialog(AppContext& app, const QString& params_file,
                                                   bool auto_connect, QWidget* parent)
    : QDialog(parent), app_(app), auto_connect_(auto_connect), worker_(app) {
    setWindowTitle("Internet connection...");
    address_ = new QLineEdit;
    address_->setObjectName("addressField");
    address_->setMaxLength(static_cast<int>(kInternetAddressMaxChars));
    port_ = new QLineEdit;
    port_->setObjectName("portField");
    port_->setMaxLength(static_cast<int>(kInternetPortMaxChars));
    const RemoteDialogFrame frame = MakeRemoteDialogFrame(Qs(kInternetPrompt), "IP Address Book");
    prompt_ = frame.prompt;
    status_ = frame.status;
    properties_ = frame.properties;
    cancel_ = frame.cancel;
    advanced_ = frame.advanced;
    address_book_ = frame.address_book;
    status_->setMinimumWidth(380);
    animation_ = BusyAnimation("connectAnimation");
    connect_ = NamedButton("Connect", "connectButton");
    connect_->setDefault(true);

    auto* fields = new QFormLayout;
    fields->addRow("IP Address / Alias:", address_);
    fields->addRow("TCP Port:", port_);
    LayOutRemoteDialog(this, frame, fields, {animation_}, connect_);

    connect(connect_, &QPushButton::clicked, this, &InternetConnectionDialog::connectOrDisconnect);
    connect(cancel_, &QPushButton::clicked, this, &InternetConnectionDialog::cancelOrContinue);
    connect(advanced_, &QPushButton::clicked, this, &InternetConnectionDialog::openAdvanced);
    connect(address_book_, &QPushButton::clicked, this, &InternetConnectionDialog::openAddressBook);
    connect(port_, &QLineEdit::textChanged, this, &InternetConnectionDialog::portEdited);
    connect(&poll_, &QTimer::timeout, this, &InternetConnectionDialog::pollWorker);
    connect(&cancel_poll_, &QTimer::timeout, this, &InternetConnectionDialog::pollCancel);
    poll_.setInterval(kPollMs);
    cancel_poll_.setInterval(kCancelPollMs);

    selector_ = MakeSensorSelector(this, this);
    opening_ = OpenInternetConnection(app_, params_file.toStdString(), defaults_);
    address_->setText(Qs(opening_.address));
    port_->setText(Qs(opening_.port));
    refreshProperties();
    updateWidgets();
}

InternetConnectionDialog::~InternetConnectionDialog() {
    if (task_.running()) {
        worker_.RequestCancel();
    }
}

int InternetConnectionDialog::run() {
    if (!opening_.error.empty()) {
        MessageRequest message;
        message.text = opening_.error;
        message.caption = "Error...";
        message.icon = IconKind::Error;
        app_.prompts().Message(message);
    }
    return exec();
}

void InternetConnectionDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (auto_connect_ && phase_ == Phase::Idle) {
        QTimer::singleShot(0, this, [this] {
            if (connect_->isEnabled()) {
                connect_->click();
            }
        });
    }
}

void InternetConnectionDialog::connectOrDisconnect() {
    if (phase_ == Phase::Connected) {
        disconnectLink();
    } else if (phase_ == Phase::Idle) {
        startConnect();
    }
}

void InternetConnectionDialog::startConnect() {
    if (app_.state.socket_open) {
        AbandonConnection(app_.link);
    }
    const std::string address = address_->text().toStdString();
    PrepareInternetConnect(app_, address, port_->text().toStdString());
    progress_.Clear();
    progress_.Set(kConnectingPrefix + address + "...");
    status_->setText(Qs(progress_.Get()));
    phase_ = Phase::Connecting;
    animation_->show();
    worker_cancelled_.store(false);
    task_.start([this] { work(); });
    poll_.start();
    updateWidgets();
    cancel_->setFocus();
}

// Worker thread: connect and probe, then (unless cancelled) the finishing step.
void InternetConnectionDialog::work() {
    const InternetConnectWorker::Outcome outcome = worker_.Run();
    if (outcome == InternetConnectWorker::Outcome::Cancelled) {
        worker_cancelled_.store(true);
        return;
    }
    finish_.store(AfterInternetConnect(app_, selector_, progress_));
}

void InternetConnectionDialog::pollWorker() {
    status_->setText(Qs(progress_.Get()));
    if (task_.collect()) {
        poll_.stop();
        finish();
    }
}

void InternetConnectionDialog::finish() {
    animation_->hide();
    if (worker_cancelled_.load()) {
        // The worker ended on a cancel of its own seeing; the window closes as a cancel would.
        AbandonConnection(app_.link);
        reject();
        return;
    }
    phase_ = finish_.load() == ConnectFinish::Success ? Phase::Connected : Phase::Idle;
    updateWidgets();
    if (phase_ == Phase::Connected && auto_connect_) {
        continueWithLink();
    }
}

void InternetConnectionDialog::disconnectLink() {
    AbandonConnection(app_.link);
    phase_ = Phase::Idle;
    status_->setText(kRemoteTerminatedText);
    updateWidgets();
}

void InternetConnectionDialog::cancelOrContinue() {
    if (phase_ == Phase::Connected && app_.state.socket_open) {
        continueWithLink();
        return;
    }
    if (task_.running()) {
        poll_.stop();
        status_->setText(kCancellingText);
        cancelling_ = true;
        worker_.RequestCancel();
        cancel_poll_.start();
        updateWidgets();
        return;
    }
    AbandonConnection(app_.link);
    reject();
}

// The worker acknowledges a cancel by ending; only then is the socket the window's to close.
void InternetConnectionDialog::pollCancel() {
    if (!task_.collect()) {
        return;
    }
    cancel_poll_.stop();
    animation_->hide();
    AbandonConnection(app_.link);
    reject();
}

void InternetConnectionDialog::continueWithLink() {
    continuing_ = true;
    updateWidgets();
    app_.state.connection_description = kInformationUnavailable;
    busy_flag::Set();
    BusyCursor::sync();
    QTimer::singleShot(kContinueWaitMs, this, [this] {
        app_.state.connection_description =
            InternetConnectionDescription(address_->text().toStdString(), port_->text().toStdString());
        busy_flag::Clear();
        BusyCursor::sync();
        accept();
    });
}

void InternetConnectionDialog::portEdited(const QString& text) {
    const QString clamped = Qs(FilterPortText(text.toStdString()));
    if (clamped != text) {
        port_->setText(clamped);  // comes back here once with the corrected text
        return;
    }
    app_.state.tcp_port = static_cast<std::uint16_t>(clamped.toUInt());
    updateWidgets();
}

void InternetConnectionDialog::openAdvanced() {
    AdvancedConnectionSettingsDialog dialog(SettingsKind::Internet, app_.registry, app_.state, {}, this);
    if (dialog.exec() == QDialog::Accepted) {
        defaults_ = dialog.collect();
    }
    refreshProperties();
}

void InternetConnectionDialog::openAddressBook() {
    AddressBookDialog book(AddressBookKind::Internet, AddressBookDialog::Mode::Select, app_.registry,
                           WidgetDialogPrompts::instance(), this);
    if (book.run() != QDialog::Accepted || !book.selectedEntry()) {
        return;
    }
    const AddressBookEntry entry = *book.selectedEntry();
    port_->setText(Qs(entry.tcp_port));
    address_->setText(Qs(AddressForSelectedEntry(entry)));
    ApplyChosenSensorId(entry.sensor_id, app_.state);
    refreshProperties();
}

void InternetConnectionDialog::closeEvent(QCloseEvent* event) {
    if (task_.running() || continuing_) {
        event->ignore();
        if (!continuing_ && !cancelling_) {
            cancelOrContinue();
        }
        return;
    }
    AbandonConnection(app_.link);
    QDialog::closeEvent(event);
}

void InternetConnectionDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

void InternetConnectionDialog::refreshProperties() {
    properties_->setText(Qs(RemotePropertiesLine(defaults_, app_.state)));
}

void InternetConnectionDialog::updateWidgets() {
    const bool idle = phase_ == Phase::Idle && !continuing_;
    const bool connected = phase_ == Phase::Connected && !continuing_;
    address_->setEnabled(idle);
    port_->setEnabled(idle);
    advanced_->setEnabled(idle);
    address_book_->setEnabled(idle);
    connect_->setText(phase_ == Phase::Connected ? "Disconnect" : "Connect");
    connect_->setEnabled((idle && !port_->text().isEmpty()) || connected);
    cancel_->setText(phase_ == Phase::Connected ? "Continue" : "Cancel");
    // Once the sensor answers, Enter goes on with the connection instead of dropping it.
    connect_->setDefault(phase_ != Phase::Connected);
    cancel_->setDefault(phase_ == Phase::Connected);
    cancel_->setEnabled(!cancelling_ && !continuing_);
}

bool RunInternetConnection(AppContext& app, QWidget* parent, QString params_file, bool auto_connect) {
    InternetConnectionDialog dialog(app, params_file, auto_connect, parent);
    return dialog.run() == QDialog::Accepted;
}

}  // namespace qvx::gui
