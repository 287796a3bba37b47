#pragma once
// "New Entry" / "Edit Entry": one address book row. Typing is corrected in place (alias
// characters, port range, ID length); OK is offered only for an entry a connection can use.

#include <QDialog>
#include <array>

#include "connect/address_book.h"
#include "platform/hosts_file.h"

class QDialogButtonBox;
class QLabel;
class QLineEdit;

namespace qvx::gui {

class DialogPrompts;

class AddressBookEntryDialog : public QDialog {
    Q_OBJECT
  public:
    // existing: the row to edit, or nullptr for a new entry.
    AddressBookEntryDialog(AddressBookKind kind, const AddressBookEntry* existing, DialogPrompts& prompts,
                           QWidget* parent = nullptr);

    AddressBookEntry entry() const;
    // The outcome of the hosts-table registration made by the last OK (AlreadyMapped when none
    // was needed).
    HostsUpdate hostsUpdate() const { return hosts_update_; }

    void accept() override;

  private:
    void buildWidgets();
    void fillFrom(const AddressBookEntry& entry);
    void connectFilters();
    void updateWidgets();
    QPushButton* okButton() const;
    IpOctetTexts octetTexts() const;
    void registerAlias();

    AddressBookKind kind_;
    DialogPrompts& prompts_;
    HostsUpdate hosts_update_ = HostsUpdate::AlreadyMapped;
    QLabel* alias_label_ = nullptr;
    QLineEdit* alias_ = nullptr;
    QWidget* address_row_ = nullptr;
    QLabel* address_label_ = nullptr;
    std::array<QLineEdit*, 4> octets_{};
    QLabel* port_label_ = nullptr;
    QLineEdit* port_ = nullptr;
    QLineEdit* sensor_id_ = nullptr;
    QLineEdit* description_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

}  // namespace qvx::gui
