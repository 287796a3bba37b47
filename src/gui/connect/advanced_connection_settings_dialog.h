#pragma once
// "Advanced Connection Settings" for one link kind: port and baud search (serial), the modem
// strings (modem), the network protocol and multi-drop ID, the additional response wait, the
// clock synchronisation, and whether these become the stored defaults.

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "connect/connection_defaults.h"
#include "connect/serial_port_names.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace qvx {
class RegistryStore;
}

namespace qvx::gui {

class AdvancedConnectionSettingsDialog : public QDialog {
    Q_OBJECT
  public:
    using PortChoicesProvider = std::function<std::vector<std::string>()>;

    // ports: the serial port list ("Auto-find" first, or "No port found"); the platform's ports
    // that open when not given.
    AdvancedConnectionSettingsDialog(SettingsKind kind, RegistryStore& registry, ConnectionState& state,
                                     PortChoicesProvider ports = {}, QWidget* parent = nullptr);

    // The values as the dialog holds them now.
    ConnectionDefaults collect() const;
    QPushButton* okButton() const;

    void accept() override;

  private:
    QGroupBox* buildPortGroup();
    QGroupBox* buildModemGroup();
    QGroupBox* buildProtocolGroup();
    QWidget* buildOptions();
    void showDefaults(const ConnectionDefaults& defaults);
    void fillPortList(const std::string& stored_port);
    std::string chosenPort() const;
    int chosenMode() const;
    void restoreModemDefaults();
    void updateWidgets();

    SettingsKind kind_;
    RegistryStore& registry_;
    ConnectionState& state_;
    PortChoicesProvider ports_;
    std::function<std::vector<NamedSerialPort>()> named_ports_;
    ConnectionDefaults loaded_;

    QGroupBox* port_group_ = nullptr;
    QRadioButton* auto_port_ = nullptr;
    QRadioButton* specify_port_ = nullptr;
    QComboBox* port_list_ = nullptr;
    QComboBox* baud_list_ = nullptr;
    QGroupBox* modem_group_ = nullptr;
    QLineEdit* modem_init_ = nullptr;
    QLineEdit* modem_auto_ = nullptr;
    QPushButton* restore_defaults_ = nullptr;
    QRadioButton* simple_protocol_ = nullptr;
    QRadioButton* fixed_id_ = nullptr;
    QRadioButton* detect_ids_ = nullptr;
    QLineEdit* id_field_ = nullptr;
    QLabel* id_hint_ = nullptr;
    QLineEdit* max_sensors_ = nullptr;
    QCheckBox* use_delay_ = nullptr;
    QLineEdit* delay_field_ = nullptr;
    QCheckBox* synchronize_ = nullptr;
    QCheckBox* save_as_default_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

}  // namespace qvx::gui
