#include "connect/modem_connection_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/close_connection.h"
#include "connect/address_book.h"
#include "connect/address_book_dialog.h"
#include "connect/advanced_connection_settings_dialog.h"
#include "connect/connection_text.h"
#include "connect/dialog_prompts.h"
#include "connect/dialog_widgets.h"
#include "connect/remote_dialog_frame.h"
#include "connect/select_sensor_id_dialog.h"
#include "context/app_context.h"

namespace qvx::gui {

namespace {

constexpr int kPollMs = 50;

}  // namespace

ModemConnectionDialog::ModemConnectionDialog(AppContext& app, QWidget* parent) : QDialog(parent), app_(app) {
    setWindowTitle("Modem connection...");
    number_ = new QLineEdit;
    number_->setObjectName("numberField");
    number_->setMaxLength(static_cast<int>(kPhoneNumberMaxChars));
    manual_ = new QCheckBox("Dial Manually");
    manual_->setObjectName("manualBox");
    const RemoteDialogFrame frame = MakeRemoteDialogFrame(Qs(kModemPrompt), "Modem Address Book");
    prompt_ = frame.prompt;
    status_ = frame.status;
    properties_ = frame.properties;
    cancel_ = frame.cancel;
    advanced_ = frame.advanced;
    address_book_ = frame.address_book;
    status_->setMinimumWidth(420);
    status_->setWordWrap(true);
    status_->setMinimumHeight(status_->fontMetrics().lineSpacing() * 2 +
                              4);  // the longest texts take two lines
    dial_animation_ = BusyAnimation("dialAnimation");
    connect_animation_ = BusyAnimation("connectAnimation");
    dial_ = NamedButton("Dial", "dialButton");
    dial_->setDefault(true);

    auto* fields = new QFormLayout;
    fields->addRow("Phone Number:", number_);
    fields->addRow("", manual_);
    LayOutRemoteDialog(this, frame, fields, {dial_animation_, connect_animation_}, dial_);

    connect(dial_, &QPushButton::clicked, this, &ModemConnectionDialog::dialOrContinue);
    connect(cancel_, &QPushButton::clicked, this, &ModemConnectionDialog::cancelOrDisconnect);
    connect(advanced_, &QPushButton::clicked, this, &ModemConnectionDialog::openAdvanced);
    connect(address_book_, &QPushButton::clicked, this, &ModemConnectionDialog::openAddressBook);
    connect(manual_, &QCheckBox::toggled, this, &ModemConnectionDialog::manualToggled);
    connect(&poll_, &QTimer::timeout, this, &ModemConnectionDialog::pollStep);
    connect(&first_timer_, &QTimer::timeout, this, &ModemConnectionDialog::firstTimer);
    connect(&second_timer_, &QTimer::timeout, this, &ModemConnectionDialog::secondTimer);
    poll_.setInterval(kPollMs);
    first_timer_.setSingleShot(true);
    first_timer_.setInterval(kDialSettleMs);
    second_timer_.setSingleShot(true);
    second_timer_.setInterval(kResultPollMs);

    selector_ = MakeSensorSelector(this, this);
    number_->setText(Qs(OpenModemConnection(app_, defaults_)));
    manual_->setChecked(app_.state.manual_dial);
    refreshProperties();
    updateWidgets();
}

ModemConnectionDialog::~ModemConnectionDialog() {
    cancel_search_.store(true);
}

void ModemConnectionDialog::setTimerIntervals(int first_ms, int repeat_ms) {
    first_timer_.setInterval(first_ms);
    second_timer_.setInterval(repeat_ms);
}

void ModemConnectionDialog::setStatus(const std::string& text) {
    status_->setText(Qs(text).replace("\r\n", "\n"));
}

void ModemConnectionDialog::dialOrContinue() {
    if (phase_ == Phase::Connected) {
        continueWithLink();
    } else if (phase_ == Phase::Idle) {
        startDial();
    }
}

void ModemConnectionDialog::startDial() {
    const std::string number = number_->text().toStdString();
    StoreModemDialSettings(app_, number);
    if (!PhoneNumberAcceptable(manual_->isChecked(), number)) {
        setStatus(kInvalidNumberText);
        return;
    }
    app_.state.manual_dial = manual_->isChecked();
    phase_ = Phase::Searching;
    cancel_search_.store(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    updateWidgets();
    const bool manual = app_.state.manual_dial;
    runStep(Step::Search, [this, manual, number] {
        modem_found_.store(false);
        if (!FindModemPort(app_, [this] { return cancel_search_.load(); })) {
            return;
        }
        modem_found_.store(true);
        InitialiseModem(app_);
        DialModem(app_, manual, number);
    });
}

void ModemConnectionDialog::runStep(Step step, std::function<void()> work) {
    step_ = step;
    task_.start(std::move(work));
    poll_.start();
}

void ModemConnectionDialog::pollStep() {
    if (phase_ == Phase::Proving) {
        setStatus(progress_.Get());
    }
    if (!task_.collect()) {
        return;
    }
    poll_.stop();
    const Step step = step_;
    step_ = Step::None;
    if (cancel_pending_) {
        abandonDial();
        return;
    }
    switch (step) {
        case Step::Search:
            searchDone();
            break;
        case Step::Read:
            resultRead();
            break;
        case Step::Prove:
            proveDone();
            break;
        case Step::Drop:
            backToIdle(kTooSlowText);
            break;
        case Step::None:
            break;
    }
}

void ModemConnectionDialog::searchDone() {
    QApplication::restoreOverrideCursor();
    if (!modem_found_.load()) {
        phase_ = Phase::Idle;
        setStatus(kNoModemStatus);
        updateWidgets();
        MessageRequest message;
        message.caption = kNoModemStatus;
        message.text = kNoModemError;
        message.icon = IconKind::Error;
        app_.prompts().Message(message);
        return;
    }
    phase_ = Phase::Dialled;
    setStatus(app_.state.manual_dial ? kManualDialStatus : kDialingStatus);
    dial_animation_->show();
    first_timer_.start();
    updateWidgets();
}

void ModemConnectionDialog::firstTimer() {
    dial_animation_->hide();
    setStatus(kEstablishingStatus);
    connect_animation_->show();
    phase_ = Phase::Waiting;
    second_timer_.start();
}

void ModemConnectionDialog::secondTimer() {
    runStep(Step::Read, [this] { reply_ = ReadModemResult(app_); });
}

void ModemConnectionDialog::resultRead() {
    if (reply_.empty()) {
        second_timer_.start();  // the modem has not answered yet: keep waiting
        return;
    }
    connect_animation_->hide();
    const ModemReply reply = ClassifyModemReply(reply_);
    if (reply.result == ModemResult::TooSlow) {
        // The line is up but unusable: the modem is taken off it, so the next Dial finds it in
        // command mode.
        progress_.Clear();
        progress_.Set(kTooSlowText);
        phase_ = Phase::Proving;
        runStep(Step::Drop, [this] { DropModemLine(app_); });
        return;
    }
    if (reply.result != ModemResult::Connected) {
        backToIdle(ModemResultText(reply.result));
        return;
    }
    line_speed_ = reply.line_speed;
    phase_ = Phase::Proving;
    progress_.Clear();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    updateWidgets();
    const std::uint32_t speed = line_speed_;
    runStep(Step::Prove,
            [this, speed] { finish_.store(AfterModemConnect(app_, speed, selector_, progress_)); });
}

void ModemConnectionDialog::proveDone() {
    QApplication::restoreOverrideCursor();
    setStatus(progress_.Get());
    phase_ = finish_.load() == ConnectFinish::Success ? Phase::Connected : Phase::Failed;
    updateWidgets();
    if (phase_ == Phase::Connected && app_.state.multidrop_mode == kMultiDropDetect) {
        continueWithLink();  // the selection's Continue was the user's
    }
}

void ModemConnectionDialog::backToIdle(const QString& status) {
    status_->setText(status);
    phase_ = Phase::Idle;
    updateWidgets();
}

void ModemConnectionDialog::continueWithLink() {
    app_.state.connection_description =
        ModemConnectionDescription(app_.state.manual_dial, number_->text().toStdString());
    accept();
}

void ModemConnectionDialog::cancelOrDisconnect() {
    first_timer_.stop();
    second_timer_.stop();
    if (phase_ == Phase::Connected || phase_ == Phase::Failed) {
        CloseConnection(app_);
        reject();
        return;
    }
    if (phase_ == Phase::Idle) {
        reject();
        return;
    }
    if (task_.running()) {
        cancel_pending_ = true;  // the step ends first; the link is the worker's until then
        cancel_search_.store(true);
        cancel_->setEnabled(false);
        return;
    }
    abandonDial();
}

// Cancelled while dialling: the user hangs up a call dialled by hand, is warned about the modem,
// and the dial is stopped and the port released so that the next attempt finds the modem again.
void ModemConnectionDialog::abandonDial() {
    if (QApplication::overrideCursor() != nullptr && phase_ == Phase::Searching) {
        QApplication::restoreOverrideCursor();
    }
    if (app_.state.manual_dial) {
        MessageRequest hang_up;
        hang_up.caption = kHangUpCaption;
        hang_up.text = kHangUpText;
        hang_up.icon = IconKind::Information;
        app_.prompts().Message(hang_up);
    }
    MessageRequest warning;
    warning.caption = kDialCancelledCaption;
    warning.text = kDialCancelledText;
    warning.icon = IconKind::Warning;
    app_.prompts().Message(warning);
    AbandonModemDial(app_);
    reject();
}

void ModemConnectionDialog::manualToggled(bool checked) {
    app_.state.manual_dial = checked;
    updateWidgets();
}

void ModemConnectionDialog::openAdvanced() {
    AdvancedConnectionSettingsDialog dialog(SettingsKind::Modem, app_.registry, app_.state, {}, this);
    if (dialog.exec() == QDialog::Accepted) {
        defaults_ = dialog.collect();
    }
    refreshProperties();
}

void ModemConnectionDialog::openAddressBook() {
    AddressBookDialog book(AddressBookKind::Modem, AddressBookDialog::Mode::Select, app_.registry,
                           WidgetDialogPrompts::instance(), this);
    if (book.run() != QDialog::Accepted || !book.selectedEntry()) {
        return;
    }
    const AddressBookEntry entry = *book.selectedEntry();
    number_->setText(Qs(entry.phone_number.substr(0, kPhoneNumberMaxChars)));
    TakeModemBookEntry(app_.state, entry.sensor_id);
    refreshProperties();
}

void ModemConnectionDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (cancel_->isEnabled()) {
        cancelOrDisconnect();
    }
}

void ModemConnectionDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ModemConnectionDialog::refreshProperties() {
    properties_->setText(Qs(RemotePropertiesLine(defaults_, app_.state)));
}

void ModemConnectionDialog::updateWidgets() {
    const bool idle = phase_ == Phase::Idle;
    number_->setEnabled(idle && !manual_->isChecked());
    manual_->setEnabled(idle);
    advanced_->setEnabled(idle);
    address_book_->setEnabled(idle);
    dial_->setText(phase_ == Phase::Connected ? "Continue" : "Dial");
    dial_->setEnabled(idle || phase_ == Phase::Connected);
    dial_->setVisible(phase_ != Phase::Failed);
    cancel_->setText(phase_ == Phase::Connected ? "Disconnect" : "Cancel");
    cancel_->setEnabled(phase_ != Phase::Proving && !cancel_pending_);
}

bool RunModemConnection(AppContext& app, QWidget* parent) {
    ModemConnectionDialog dialog(app, parent);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace qvx::gui
