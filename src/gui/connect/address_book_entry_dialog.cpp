#include "connect/address_book_entry_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include "connect/dialog_prompts.h"
#include "connect/dialog_widgets.h"
#include "connect/field_filter.h"
#include "connect/ip_octet_fields.h"

namespace qvx::gui {

AddressBookEntryDialog::AddressBookEntryDialog(AddressBookKind kind, const AddressBookEntry* existing,
                                               DialogPrompts& prompts, QWidget* parent)
    : QDialog(parent), kind_(kind), prompts_(prompts) {
    setWindowTitle(existing ? "Edit Entry" : "New Entry");
    buildWidgets();
    connectFilters();
    if (existing) {
        fillFrom(*existing);
    }
    updateWidgets();
}

void AddressBookEntryDialog::buildWidgets() {
    bool internet = kind_ == AddressBookKind::Internet;
    auto* form = new QFormLayout;

    alias_ = new QLineEdit;
    alias_->setObjectName("aliasField");
    alias_label_ = new QLabel(internet ? "IP &Alias:" : "&Phone Number:");
    alias_label_->setBuddy(alias_);
    form->addRow(alias_label_, alias_);

    address_row_ = new QWidget;
    auto* octet_layout = new QHBoxLayout(address_row_);
    octet_layout->setContentsMargins(0, 0, 0, 0);
    for (std::size_t i = 0; i < octets_.size(); ++i) {
        octets_[i] = new QLineEdit;
        octets_[i]->setObjectName(QString("octetField%1").arg(i));
        octets_[i]->setMaxLength(3);
        octets_[i]->setFixedWidth(octets_[i]->fontMetrics().horizontalAdvance("0000") + 12);
        octets_[i]->setAlignment(Qt::AlignCenter);
        if (i > 0) {
            octet_layout->addWidget(new QLabel("."));
        }
        octet_layout->addWidget(octets_[i]);
    }
    octet_layout->addStretch();
    IpOctetFields::Link(octets_);
    address_label_ = new QLabel("IP A&ddress:");
    address_label_->setBuddy(octets_[0]);
    form->addRow(address_label_, address_row_);

    port_ = new QLineEdit;
    port_->setObjectName("portField");
    port_->setMaxLength(5);
    port_label_ = new QLabel("TCP &Port:");
    port_label_->setBuddy(port_);
    form->addRow(port_label_, port_);

    sensor_id_ = new QLineEdit;
    sensor_id_->setObjectName("sensorIdField");
    sensor_id_->setMaxLength(4);
    auto* id_label = new QLabel("&Sensor ID:");
    id_label->setBuddy(sensor_id_);
    form->addRow(id_label, sensor_id_);

    description_ = new QLineEdit;
    description_->setObjectName("descriptionField");
    auto* description_label = new QLabel("D&escription:");
    description_label->setBuddy(description_);
    form->addRow(description_label, description_);

    address_label_->setVisible(internet);
    address_row_->setVisible(internet);
    port_label_->setVisible(internet);
    port_->setVisible(internet);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons_->button(QDialogButtonBox::Ok)->setObjectName("okButton");
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons_);
    setMinimumWidth(380);
}

void AddressBookEntryDialog::connectFilters() {
    installTextFilter(port_, FilterPortText);
    installTextFilter(sensor_id_, FilterEntrySensorIdText);
    if (kind_ == AddressBookKind::Internet) {
        installTextFilter(alias_, FilterAliasText);
    }
    for (QLineEdit* octet : octets_) {
        installTextFilter(octet, FilterOctetText);
        connect(octet, &QLineEdit::textChanged, this, &AddressBookEntryDialog::updateWidgets);
    }
    for (QLineEdit* field : {alias_, port_}) {
        connect(field, &QLineEdit::textChanged, this, &AddressBookEntryDialog::updateWidgets);
    }
}

void AddressBookEntryDialog::fillFrom(const AddressBookEntry& entry) {
    if (kind_ == AddressBookKind::Modem) {
        alias_->setText(Qs(entry.phone_number));
    } else {
        alias_->setText(entry.alias == kUnknownAlias ? QString() : Qs(entry.alias));
        IpOctetTexts octets = SplitIpAddress(entry.ip_address);
        for (std::size_t i = 0; i < octets_.size(); ++i) {
            octets_[i]->setText(Qs(octets[i]));
        }
        port_->setText(Qs(FilterPortText(entry.tcp_port)));
    }
    sensor_id_->setText(Qs(FilterEntrySensorIdText(entry.sensor_id)));
    description_->setText(Qs(entry.description));
}

IpOctetTexts AddressBookEntryDialog::octetTexts() const {
    IpOctetTexts texts;
    for (std::size_t i = 0; i < octets_.size(); ++i) {
        texts[i] = octets_[i]->text().toStdString();
    }
    return texts;
}

QPushButton* AddressBookEntryDialog::okButton() const {
    return buttons_->button(QDialogButtonBox::Ok);
}

void AddressBookEntryDialog::updateWidgets() {
    okButton()->setEnabled(
        EntryAcceptable(kind_, alias_->text().toStdString(), octetTexts(), port_->text().toStdString()));
}

AddressBookEntry AddressBookEntryDialog::entry() const {
    AddressBookEntry entry;
    if (kind_ == AddressBookKind::Modem) {
        entry.phone_number = alias_->text().toStdString();
    } else {
        entry.alias = alias_->text().toStdString();
        entry.ip_address = FormatIpAddress(octetTexts());
        entry.tcp_port = port_->text().toStdString();
    }
    entry.sensor_id = sensor_id_->text().toStdString();
    entry.description = description_->text().toStdString();
    return entry;
}

void AddressBookEntryDialog::accept() {
    if (!okButton()->isEnabled()) {
        return;
    }
    hosts_update_ = HostsUpdate::AlreadyMapped;
    AddressBookEntry row = entry();
    if (kind_ == AddressBookKind::Internet && !row.alias.empty() && !row.ip_address.empty()) {
        registerAlias();
    }
    QDialog::accept();
}

void AddressBookEntryDialog::registerAlias() {
    AddressBookEntry row = entry();
    std::string hosts_path = HostsFilePath();
    hosts_update_ = RegisterHostAlias(hosts_path, row.ip_address, row.alias);
    if (IsHostsUpdateSuccess(hosts_update_)) {
        return;
    }
    QString reason = hosts_update_ == HostsUpdate::NotOpened ? "could not be read" : "could not be written";
    prompts_.warn(this, "Host name not registered...",
                  QString("The entry is kept in the address book, but the alias \"%1\" could not be "
                          "registered for %2:\nthe hosts file %3 %4.\n\nConnections through the address "
                          "book still find the sensor by this alias.")
                      .arg(Qs(row.alias), Qs(row.ip_address), Qs(hosts_path), reason));
}

}  // namespace qvx::gui
