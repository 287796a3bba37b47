#include "connect/connection_type_chooser.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace qvx::gui {

ConnectionTypeChooser::ConnectionTypeChooser(QWidget* parent) : QWidget(parent) {
    auto* prompt = new QLabel("Select the type of connection you would like to make with the Quorvix...");
    prompt->setWordWrap(true);
    serial_ = new QRadioButton(" &Serial (COM Port)");
    serial_->setObjectName("serialButton");
    modem_ = new QRadioButton(" &Modem (Phone #)");
    modem_->setObjectName("modemButton");
    internet_ = new QRadioButton(" &Internet (TCP/IP)");
    internet_->setObjectName("internetButton");
    auto* choices = new QButtonGroup(this);
    auto* box = new QGroupBox;
    auto* box_layout = new QVBoxLayout(box);
    for (QRadioButton* button : {serial_, modem_, internet_}) {
        choices->addButton(button);
        box_layout->addWidget(button);
        connect(button, &QRadioButton::toggled, this, &ConnectionTypeChooser::updateWidgets);
    }

    ok_ = new QPushButton("OK");
    ok_->setObjectName("okButton");
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, [this] { emit connectionChosen(chosenKind()); });
    // The chooser is a view, not a dialog: Enter anywhere in it presses OK.
    for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* enter = new QShortcut(QKeySequence(key), this);
        enter->setContext(Qt::WidgetWithChildrenShortcut);
        connect(enter, &QShortcut::activated, ok_, &QPushButton::click);
    }

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(box);
    layout->addLayout(buttons);
    layout->addStretch();
    setTabOrder(serial_, ok_);
    serial_->setChecked(true);
    updateWidgets();
}

LinkKind ConnectionTypeChooser::chosenKind() const {
    if (modem_->isChecked()) {
        return LinkKind::Modem;
    }
    if (internet_->isChecked()) {
        return LinkKind::Internet;
    }
    return serial_->isChecked() ? LinkKind::Serial : LinkKind::None;
}

void ConnectionTypeChooser::setChosenKind(LinkKind kind) {
    switch (kind) {
        case LinkKind::Modem:
            modem_->setChecked(true);
            break;
        case LinkKind::Internet:
            internet_->setChecked(true);
            break;
        default:
            serial_->setChecked(true);
            break;
    }
}

void ConnectionTypeChooser::updateWidgets() {
    ok_->setEnabled(chosenKind() != LinkKind::None);
}

}  // namespace qvx::gui
