#include "connect/advanced_connection_settings_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "connect/dialog_widgets.h"
#include "connect/field_filter.h"

namespace qvx::gui {

namespace {

constexpr std::size_t kDelayDigits = 5;
constexpr std::size_t kMaxSensorsDigits = 3;

TextRule DigitsRule(std::size_t max_digits) {
    return [max_digits](const std::string& text) { return FilterDigitsText(text, max_digits); };
}

int FieldNumber(const QLineEdit* field) {
    return field->text().isEmpty() ? 0 : field->text().toInt();
}

}  // namespace

AdvancedConnectionSettingsDialog::AdvancedConnectionSettingsDialog(SettingsKind kind, RegistryStore& registry,
                                                                   ConnectionState& state,
                                                                   PortChoicesProvider ports, QWidget* parent)
    : QDialog(parent), kind_(kind), registry_(registry), state_(state), ports_(std::move(ports)) {
    setWindowTitle("Advanced Connection Settings");
    if (!named_ports_) {
        named_ports_ = [] { return NamedSerialPorts(); };
    }
    if (!ports_) {
        ports_ = SerialPortChoices;
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildPortGroup());
    layout->addWidget(buildModemGroup());
    layout->addWidget(buildProtocolGroup());
    layout->addWidget(buildOptions());
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons_);

    port_group_->setVisible(kind == SettingsKind::Serial);
    modem_group_->setVisible(kind == SettingsKind::Modem);

    // The stored defaults are read into a scratch state: the live connection changes only on OK.
    ConnectionState scratch;
    scratch.synchronize_clock = state_.synchronize_clock;
    loaded_ = LoadConnectionDefaults(kind, registry_, scratch);
    showDefaults(loaded_);
    updateWidgets();
}

QGroupBox* AdvancedConnectionSettingsDialog::buildPortGroup() {
    port_group_ = new QGroupBox("PC Com Port Settings");
    port_group_->setObjectName("portGroup");
    auto_port_ = new QRadioButton("Auto-detect PC com port && baud rate settings");
    auto_port_->setObjectName("autoPortButton");
    specify_port_ = new QRadioButton("Specify PC com port && baud rate settings");
    specify_port_->setObjectName("specifyPortButton");
    auto* choice = new QButtonGroup(port_group_);
    choice->addButton(auto_port_);
    choice->addButton(specify_port_);
    port_list_ = new QComboBox;
    // A pseudo-terminal or an unusual adapter is typed in; the list only offers what it found.
    port_list_->setEditable(true);
    port_list_->setInsertPolicy(QComboBox::NoInsert);
    port_list_->setMinimumContentsLength(24);
    port_list_->setToolTip("The serial device: choose one found on this machine or type its path");
    port_list_->setObjectName("portList");
    baud_list_ = new QComboBox;
    baud_list_->setObjectName("baudList");
    for (const std::string& baud : BaudChoices()) {
        baud_list_->addItem(Qs(baud));
    }
    auto* port_label = new QLabel("&Port:");
    port_label->setBuddy(port_list_);
    auto* baud_label = new QLabel("&Baud rate:");
    baud_label->setBuddy(baud_list_);

    auto* grid = new QGridLayout(port_group_);
    grid->addWidget(auto_port_, 0, 0, 1, 4);
    grid->addWidget(specify_port_, 1, 0, 1, 4);
    grid->addWidget(port_label, 2, 0);
    grid->addWidget(port_list_, 2, 1);
    grid->addWidget(baud_label, 2, 2);
    grid->addWidget(baud_list_, 2, 3);
    grid->setColumnStretch(1, 1);
    connect(auto_port_, &QRadioButton::toggled, this, &AdvancedConnectionSettingsDialog::updateWidgets);
    return port_group_;
}

QGroupBox* AdvancedConnectionSettingsDialog::buildModemGroup() {
    modem_group_ = new QGroupBox("Local Modem Settings");
    modem_group_->setObjectName("modemGroup");
    modem_init_ = new QLineEdit;
    modem_init_->setObjectName("modemInitField");
    modem_init_->setMaxLength(static_cast<int>(kModemInitMaxChars));
    modem_auto_ = new QLineEdit;
    modem_auto_->setObjectName("modemAutoField");
    modem_auto_->setMaxLength(static_cast<int>(kModemAutoCmdMaxChars));
    restore_defaults_ = new QPushButton("&Restore Defaults");
    restore_defaults_->setObjectName("restoreDefaultsButton");
    restore_defaults_->setAutoDefault(false);
    connect(restore_defaults_, &QPushButton::clicked, this,
            &AdvancedConnectionSettingsDialog::restoreModemDefaults);

    auto* form = new QFormLayout(modem_group_);
    auto* init_label = new QLabel("&Initialization String:");
    init_label->setBuddy(modem_init_);
    auto* auto_label = new QLabel("Auto-&find Command:");
    auto_label->setBuddy(modem_auto_);
    form->addRow(init_label, modem_init_);
    form->addRow(auto_label, modem_auto_);
    form->addRow(QString(), restore_defaults_);
    return modem_group_;
}

QGroupBox* AdvancedConnectionSettingsDialog::buildProtocolGroup() {
    auto* group = new QGroupBox("Network Protocol");
    simple_protocol_ =
        new QRadioButton("Use Simple Protocol... Sensor is NOT connected to a multidrop network");
    simple_protocol_->setObjectName("simpleProtocolButton");
    fixed_id_ = new QRadioButton("Use Multidrop Protocol... Connect directly to ID:");
    fixed_id_->setObjectName("fixedIdButton");
    detect_ids_ = new QRadioButton("Use Multidrop Protocol... Auto-detect ID(s) after network connection");
    detect_ids_->setObjectName("detectIdsButton");
    auto* choice = new QButtonGroup(group);
    for (QRadioButton* button : {simple_protocol_, fixed_id_, detect_ids_}) {
        choice->addButton(button);
        connect(button, &QRadioButton::toggled, this, &AdvancedConnectionSettingsDialog::updateWidgets);
    }
    id_field_ = new QLineEdit;
    id_field_->setObjectName("idField");
    id_field_->setFixedWidth(id_field_->fontMetrics().horizontalAdvance("WWWWW") + 12);
    installTextFilter(id_field_, FilterMultiDropIdText);
    connect(id_field_, &QLineEdit::textChanged, this, &AdvancedConnectionSettingsDialog::updateWidgets);
    id_hint_ = new QLabel("(4 digits required)");
    max_sensors_ = new QLineEdit;
    max_sensors_->setObjectName("maxSensorsField");
    max_sensors_->setFixedWidth(max_sensors_->fontMetrics().horizontalAdvance("00000") + 12);
    installTextFilter(max_sensors_, DigitsRule(kMaxSensorsDigits));

    auto* id_row = new QHBoxLayout;
    id_row->addWidget(fixed_id_);
    id_row->addWidget(id_field_);
    id_row->addWidget(id_hint_);
    id_row->addStretch();
    auto* max_row = new QHBoxLayout;
    auto* max_label = new QLabel("&Maximum # of sensors to look for on this network:");
    max_label->setBuddy(max_sensors_);
    max_row->addWidget(max_label);
    max_row->addWidget(max_sensors_);
    max_row->addStretch();

    auto* layout = new QVBoxLayout(group);
    layout->addWidget(simple_protocol_);
    layout->addLayout(id_row);
    layout->addWidget(detect_ids_);
    layout->addLayout(max_row);
    return group;
}

QWidget* AdvancedConnectionSettingsDialog::buildOptions() {
    auto* options = new QWidget;
    use_delay_ = new QCheckBox("&Use an additional:");
    use_delay_->setObjectName("useDelayBox");
    delay_field_ = new QLineEdit;
    delay_field_->setObjectName("delayField");
    delay_field_->setFixedWidth(delay_field_->fontMetrics().horizontalAdvance("0000000") + 12);
    installTextFilter(delay_field_, DigitsRule(kDelayDigits));
    connect(use_delay_, &QCheckBox::toggled, this, &AdvancedConnectionSettingsDialog::updateWidgets);
    synchronize_ = new QCheckBox("S&ynchronize sensor time with your PC's clock");
    synchronize_->setObjectName("synchronizeBox");
    save_as_default_ = new QCheckBox("Check this box if you want the settings above to be used by default");
    save_as_default_->setObjectName("saveAsDefaultBox");

    auto* delay_row = new QHBoxLayout;
    delay_row->addWidget(use_delay_);
    delay_row->addWidget(delay_field_);
    delay_row->addWidget(new QLabel("ms response wait"));
    delay_row->addStretch();
    auto* layout = new QVBoxLayout(options);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(delay_row);
    layout->addWidget(synchronize_);
    layout->addWidget(save_as_default_);
    return options;
}

void AdvancedConnectionSettingsDialog::showDefaults(const ConnectionDefaults& d) {
    if (kind_ == SettingsKind::Serial) {
        fillPortList(d.com_port);
        baud_list_->setCurrentIndex(d.baud_index < baud_list_->count() ? d.baud_index : 0);
    }
    (d.auto_port_and_baud ? auto_port_ : specify_port_)->setChecked(true);
    modem_init_->setText(Qs(d.modem_init.empty() ? kDefaultModemInit : d.modem_init));
    modem_auto_->setText(Qs(d.modem_auto_cmd.empty() ? kDefaultModemAutoCmd : d.modem_auto_cmd));
    QRadioButton* protocol = d.multidrop_mode == kMultiDropFixedId  ? fixed_id_
                             : d.multidrop_mode == kMultiDropDetect ? detect_ids_
                                                                    : simple_protocol_;
    protocol->setChecked(true);
    id_field_->setText(Qs(FilterMultiDropIdText(d.multidrop_id)));
    max_sensors_->setText(QString::number(d.max_multidrop_sensors));
    use_delay_->setChecked(d.use_delay);
    delay_field_->setText(QString::number(d.user_added_delay));
    synchronize_->setChecked(d.synchronize_clock);
    save_as_default_->setChecked(d.save_as_default);
}

void AdvancedConnectionSettingsDialog::fillPortList(const std::string& stored_port) {
    std::vector<std::string> choices = ports_();
    port_list_->clear();
    for (const std::string& port : choices) {
        port_list_->addItem(Qs(port), Qs(port));
    }
    // The stable names of USB adapters, with the maker's words: the same adapter keeps its name
    // whichever ttyUSB number it gets.
    for (const NamedSerialPort& named : named_ports_()) {
        const QString shown = Qs(named.description) + " — " + Qs(named.path);
        port_list_->addItem(shown, Qs(named.path));
        port_list_->setItemData(port_list_->count() - 1, Qs(named.device), Qt::ToolTipRole);
    }
    const int stored = port_list_->findData(Qs(stored_port));
    if (stored >= 0) {
        port_list_->setCurrentIndex(stored);
    } else if (!stored_port.empty() && stored_port.front() == '/') {
        port_list_->setEditText(Qs(stored_port));  // a path typed before
    } else {
        port_list_->setCurrentIndex(PortChoiceIndex(choices, stored_port));
    }
}

// The device path of the choice: an item's own path, or what was typed.
std::string AdvancedConnectionSettingsDialog::chosenPort() const {
    const int index = port_list_->findText(port_list_->currentText());
    if (index >= 0)
        return port_list_->itemData(index).toString().toStdString();
    return port_list_->currentText().trimmed().toStdString();
}

int AdvancedConnectionSettingsDialog::chosenMode() const {
    if (fixed_id_->isChecked()) {
        return kMultiDropFixedId;
    }
    return detect_ids_->isChecked() ? kMultiDropDetect : kMultiDropSimple;
}

void AdvancedConnectionSettingsDialog::restoreModemDefaults() {
    modem_init_->setText(kDefaultModemInit);
    modem_auto_->setText(kDefaultModemAutoCmd);
}

QPushButton* AdvancedConnectionSettingsDialog::okButton() const {
    return buttons_->button(QDialogButtonBox::Ok);
}

void AdvancedConnectionSettingsDialog::updateWidgets() {
    bool specify = specify_port_->isChecked();
    port_list_->setEnabled(specify);
    baud_list_->setEnabled(specify);
    delay_field_->setEnabled(use_delay_->isChecked());
    bool fixed = fixed_id_->isChecked();
    id_field_->setEnabled(fixed);
    id_hint_->setEnabled(fixed);
    okButton()->setEnabled(AdvancedSettingsAcceptable(chosenMode(), id_field_->text().toStdString()));
}

ConnectionDefaults AdvancedConnectionSettingsDialog::collect() const {
    ConnectionDefaults d = loaded_;
    d.auto_port_and_baud = auto_port_->isChecked();
    if (kind_ == SettingsKind::Serial) {
        d.com_port = chosenPort();
        d.baud_index = baud_list_->currentIndex() < 0 ? 0 : baud_list_->currentIndex();
    }
    d.modem_init = modem_init_->text().toStdString();
    d.modem_auto_cmd = modem_auto_->text().toStdString();
    d.use_delay = use_delay_->isChecked();
    d.user_added_delay = FieldNumber(delay_field_);
    d.multidrop_mode = chosenMode();
    d.multidrop_id = id_field_->text().toStdString();
    d.max_multidrop_sensors = FieldNumber(max_sensors_);
    d.synchronize_clock = synchronize_->isChecked();
    d.save_as_default = save_as_default_->isChecked();
    return d;
}

void AdvancedConnectionSettingsDialog::accept() {
    if (!okButton()->isEnabled()) {
        return;
    }
    ConnectionDefaults d = collect();
    ApplyConnectionDefaults(d, d.com_port, registry_, state_);
    QDialog::accept();
}

}  // namespace qvx::gui
