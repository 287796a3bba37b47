#include "connect/connection_properties_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/busy_flag.h"
#include "connect/connection_defaults.h"
#include "connect/connection_properties.h"
#include "connect/dialog_widgets.h"
#include "context/app_context.h"
#include "protocol/busy_cursor.h"

namespace qvx::gui {

namespace {

constexpr int kPollMs = 50;
constexpr int kSaveWaitMs = 500;
constexpr int kAdditionalDigits = 5;

QLabel* ValueLabel(const QString& name) {
    auto* label = new QLabel;
    label->setObjectName(name);
    return label;
}

}  // namespace

ConnectionPropertiesDialog::ConnectionPropertiesDialog(AppContext& app, QWidget* parent)
    : QDialog(parent), app_(app) {
    setWindowTitle("Current Connection Properties");
    const ConnectionState& state = app_.state;
    type_ = ValueLabel("typeLabel");
    type_->setText(QString::fromStdString(ConnectionTypeText(state)));
    address_caption_ = ValueLabel("addressCaption");
    address_caption_->setText(QString::fromStdString(AddressLabelText(state)));
    address_ = ValueLabel("addressLabel");
    address_->setText(QString::fromStdString(AddressValueText(state)));
    protocol_ = ValueLabel("protocolLabel");
    protocol_->setText(QString::fromStdString(ProtocolText(state)));
    automatic_ = ValueLabel("automaticLabel");
    additional_ = new QLineEdit;
    additional_->setObjectName("additionalField");
    additional_->setMaxLength(kAdditionalDigits);
    additional_->setText(QString::number(state.response_wait_ms.load()));
    total_ = ValueLabel("totalLabel");
    recalculate_ = NamedButton("Re-calculate", "recalculateButton");
    save_ = NamedButton("Save As Default", "saveButton");
    close_ = NamedButton("OK", "okButton");
    close_->setDefault(true);

    auto* connection = new QFormLayout;
    connection->addRow("Type:", type_);
    connection->addRow(address_caption_, address_);
    connection->addRow("Protocol:", protocol_);
    auto* waits = new QFormLayout;
    waits->addRow("Automatic (ms):", automatic_);
    waits->addRow("Additional (ms):", additional_);
    waits->addRow("Total (ms):", total_);
    auto* wait_buttons = new QHBoxLayout;
    wait_buttons->addWidget(recalculate_);
    wait_buttons->addWidget(save_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(connection);
    layout->addWidget(new QLabel("Response Wait Time"));
    layout->addLayout(waits);
    layout->addLayout(wait_buttons);
    layout->addLayout(buttons);

    connect(additional_, &QLineEdit::textChanged, this, &ConnectionPropertiesDialog::additionalEdited);
    connect(recalculate_, &QPushButton::clicked, this, &ConnectionPropertiesDialog::recalculate);
    connect(save_, &QPushButton::clicked, this, &ConnectionPropertiesDialog::saveAsDefault);
    connect(close_, &QPushButton::clicked, this, &ConnectionPropertiesDialog::accept);
    connect(&poll_, &QTimer::timeout, this, &ConnectionPropertiesDialog::pollRecalculation);
    poll_.setInterval(kPollMs);
    showWaits();
    updateWidgets();
}

void ConnectionPropertiesDialog::additionalEdited(const QString& text) {
    const QString digits = QString::fromStdString(FilterDigitsText(text.toStdString(), kAdditionalDigits));
    if (digits != text) {
        additional_->setText(digits);
        return;
    }
    const int value = digits.isEmpty() ? 0 : digits.toInt();
    if (value <= kMaxAdditionalWaitMs) {
        app_.state.response_wait_ms.store(value);
    }
    showWaits();
}

void ConnectionPropertiesDialog::recalculate() {
    if (task_.running() || app_.state.link_kind == LinkKind::None) {
        return;
    }
    busy_flag::Set();
    BusyCursor::sync();
    task_.start([this] { RecalculateResponseWait(app_.link, app_.objects); });
    poll_.start();
    updateWidgets();
}

void ConnectionPropertiesDialog::pollRecalculation() {
    if (!task_.collect()) {
        return;
    }
    poll_.stop();
    busy_flag::Clear();
    BusyCursor::sync();
    showWaits();
    updateWidgets();
}

void ConnectionPropertiesDialog::saveAsDefault() {
    SaveResponseWaitDefault(app_.registry, app_.state);
    saving_ = true;
    busy_flag::Set();
    BusyCursor::sync();
    updateWidgets();
    QTimer::singleShot(kSaveWaitMs, this, [this] {
        saving_ = false;
        busy_flag::Clear();
        BusyCursor::sync();
        updateWidgets();
    });
}

// The calibration holds the link; the window stays until it has let go.
void ConnectionPropertiesDialog::reject() {
    if (task_.running()) {
        return;
    }
    QDialog::reject();
}

void ConnectionPropertiesDialog::showWaits() {
    const int automatic = AutomaticWaitMs(app_.state);
    const int additional = app_.state.response_wait_ms.load();
    automatic_->setText(QString::number(automatic));
    total_->setText(QString::number(automatic + additional));
}

void ConnectionPropertiesDialog::updateWidgets() {
    const bool linked = app_.state.link_kind != LinkKind::None;
    const bool idle = !task_.running() && !saving_;
    additional_->setEnabled(linked && idle);
    recalculate_->setEnabled(linked && idle);
    save_->setEnabled(linked && idle);
    close_->setEnabled(!task_.running());
}

void RunConnectionProperties(AppContext& app, QWidget* parent) {
    ConnectionPropertiesDialog dialog(app, parent);
    dialog.exec();
}

}  // namespace qvx::gui
