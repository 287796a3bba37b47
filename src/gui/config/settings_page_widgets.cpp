#include "config/settings_page_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/palette_colours.h"
#include "connect/dialog_widgets.h"
#include "connect/field_filter.h"
#include "connect/ip_octet_fields.h"
#include "protocol/sensor_configuration.h"
#include "protocol/user_prompts.h"

namespace qvx::gui {

namespace {

QLineEdit* Entry(const QString& name, int max_length, int width = 0) {
    auto* entry = new QLineEdit;
    entry->setObjectName(name);
    entry->setMaxLength(max_length);
    if (width > 0)
        entry->setFixedWidth(width);
    return entry;
}

QComboBox* Choice(const QString& name, const QStringList& items) {
    auto* box = new QComboBox;
    box->setObjectName(name);
    box->addItems(items);
    return box;
}

template <std::size_t N>
QStringList Items(const std::array<const char*, N>& names, std::size_t count = N) {
    QStringList items;
    for (std::size_t k = 0; k < count && k < N; ++k)
        items << names[k];
    return items;
}

std::string Text(const QLineEdit* entry) {
    return entry->text().toStdString();
}

void SetText(QLineEdit* entry, const std::string& text) {
    entry->setText(Qs(text));
}

void ShowPageMessage(UserPrompts& prompts, const PageMessage& message) {
    MessageRequest request;
    request.caption = message.caption;
    request.text = message.text;
    request.icon = IconKind::Error;
    prompts.Message(request);
}

// A 4-digit hex entry; typing keeps hex digits only, in upper case.
QLineEdit* HexEntry(const QString& name) {
    QLineEdit* entry = Entry(name, 4, 52);
    installTextFilter(entry, [](const std::string& text) { return FilterHex4Typing(text); });
    return entry;
}

}  // namespace

// ---- marks ----

void MarkPainter::track(QWidget* control, int id) {
    controls_[control] = id;
    control->installEventFilter(this);
}

void MarkPainter::paint() {
    for (const auto& [control, id] : controls_) {
        const bool marked = marks_ && marks_->IsMarked(id);
        ColourText(control, marked ? TextMeaning::Error : TextMeaning::Plain,
                   marked ? "font-weight: bold;" : "");
        control->setProperty("marked", marked);
    }
}

bool MarkPainter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && marks_) {
        const auto it = controls_.find(static_cast<QWidget*>(watched));
        if (it != controls_.end() && marks_->IsMarked(it->second)) {
            marks_->Unmark(it->second);
            paint();
        }
    }
    return QObject::eventFilter(watched, event);
}

// ---- General ----

GeneralPageWidget::GeneralPageWidget(UserPrompts& prompts, bool engineering, QWidget* parent)
    : QWidget(parent), prompts_(prompts) {
    setObjectName("generalPage");
    serial_ = Entry("serialNumber", 16, 200);
    serial_->setReadOnly(!engineering);
    multidrop_id_ = Entry("multidropId", 4, 60);
    rtms_id_ = Entry("rtmsId", 3, 60);
    description_ = Entry("description", 32, 300);
    location_ = Entry("location", 32, 300);
    orientation_ = Choice("orientation", Items(kOrientationNames));
    units_ = Choice("units", Items(kUnitNames));
    rf_channel_ = Choice("rfChannel", {"0", "1", "2", "3"});
    replay_ = Choice("replay", Items(kReplayNames));

    auto* form = new QFormLayout(this);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->setContentsMargins(16, 16, 16, 16);
    form->setVerticalSpacing(10);
    form->addRow("Serial Number", serial_);
    form->addRow("Sensor (Multi-drop) ID", multidrop_id_);
    form->addRow("RTMS ID", rtms_id_);
    form->addRow("Description", description_);
    form->addRow("Location", location_);
    form->addRow("Orientation", orientation_);
    form->addRow("Measurement Units", units_);
    form->addRow("RF Channel", rf_channel_);
    form->addRow("Replay", replay_);
    replay_->setVisible(engineering);
    form->labelForField(replay_)->setVisible(engineering);

    connect(serial_, &QLineEdit::editingFinished, this, [this] {
        if (serial_->isReadOnly())
            return;  // only the engineering menus let the serial number be typed
        std::string text = Text(serial_);
        const auto message = LeaveSerialNumber(text);
        SetText(serial_, text);
        if (message)
            ShowPageMessage(prompts_, *message);
    });
    installTextFilter(multidrop_id_, [](const std::string& text) { return FilterMultiDropIdTyping(text); });
    connect(multidrop_id_, &QLineEdit::editingFinished, this, [this] {
        if (!config_)
            return;
        std::string text = Text(multidrop_id_);
        LeaveMultiDropId(text, *config_);
        SetText(multidrop_id_, text);
    });
    installTextFilter(rtms_id_, [](const std::string& text) { return FilterRtmsIdTyping(text); });
    connect(rtms_id_, &QLineEdit::editingFinished, this, [this] {
        std::string text = Text(rtms_id_);
        LeaveRtmsId(text);
        SetText(rtms_id_, text);
    });
    for (QLineEdit* entry : {description_, location_}) {
        connect(entry, &QLineEdit::editingFinished, this, [entry] {
            std::string text = Text(entry);
            LeaveDescription(text);
            SetText(entry, text);
        });
    }
    connect(units_, &QComboBox::currentIndexChanged, this, [this] {
        if (!loading_)
            emit unitsChanged();
    });
}

void GeneralPageWidget::load(const GeneralPageModel& page) {
    loading_ = true;
    SetText(serial_, page.serial_number);
    SetText(multidrop_id_, page.multidrop_id);
    SetText(rtms_id_, page.rtms_id);
    SetText(description_, page.description);
    SetText(location_, page.location);
    orientation_->setCurrentIndex(page.orientation);
    units_->setCurrentIndex(page.units);
    rf_channel_->setCurrentIndex(page.rf_channel);
    replay_->setCurrentIndex(page.replay);
    loading_ = false;
}

void GeneralPageWidget::store(GeneralPageModel& page) const {
    page.serial_number = Text(serial_);
    page.multidrop_id = Text(multidrop_id_);
    page.rtms_id = Text(rtms_id_);
    page.description = Text(description_);
    page.location = Text(location_);
    page.orientation = orientation_->currentIndex();
    page.units = units_->currentIndex();
    page.rf_channel = rf_channel_->currentIndex();
    page.replay = replay_->currentIndex();
}

// ---- Communication ----

QWidget* CommunicationPageWidget::addressRow(std::array<QLineEdit*, 4>& octets, const char* name) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    for (int k = 0; k < 4; ++k) {
        octets[k] = Entry(QString("%1%2").arg(name).arg(k), 3, 44);
        octets[k]->setAlignment(Qt::AlignCenter);
        installTextFilter(octets[k], [](const std::string& text) {
            std::string digits;
            for (char c : text)
                if (c >= '0' && c <= '9')
                    digits += c;
            return digits.size() == 3 && digits > "255" ? std::string("255") : digits;
        });
        connect(octets[k], &QLineEdit::editingFinished, this, [&octets] {
            std::array<std::string, 4> texts;
            for (int j = 0; j < 4; ++j)
                texts[j] = Text(octets[j]);
            LeaveAddressOctets(texts);
            for (int j = 0; j < 4; ++j)
                SetText(octets[j], texts[j]);
        });
        layout->addWidget(octets[k]);
        if (k < 3)
            layout->addWidget(new QLabel("."));
    }
    layout->addStretch(1);
    IpOctetFields::Link(octets);
    return row;
}

CommunicationPageWidget::CommunicationPageWidget(UserPrompts& prompts, QWidget* parent)
    : QWidget(parent), prompts_(prompts) {
    setObjectName("communicationPage");
    auto* left = new QFormLayout;
    left->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    left->addRow("Modem IP", addressRow(modem_ip_, "modemIp"));
    left->addRow("Data Collector IP", addressRow(collector_ip_, "collectorIp"));
    const char* port_names[4] = {"Expansion Port A", "RS-232 Port", "Expansion Port B", "RS-485 Port"};
    const char* baud_names[4] = {"baudExpA", "baudRs232", "baudExpB", "baudRs485"};
    for (int port : {comm_port::kRs232, comm_port::kRs485, comm_port::kExpansionA, comm_port::kExpansionB}) {
        const bool main_port = port == comm_port::kRs232 || port == comm_port::kRs485;
        baud_[port] = Choice(baud_names[port], Items(kBaudItems, main_port ? kMainPortBaudItems : 8));
        left->addRow(port_names[port], baud_[port]);
    }
    config_script_ = Entry("configScript", 6, 90);
    data_script_ = Entry("dataScript", 10, 120);
    variable_name_ = Entry("variableName", 6, 90);
    tcp_port_ = Entry("tcpPort", 5, 70);
    left->addRow("Config Packet Script", config_script_);
    left->addRow("Data Packet Script", data_script_);
    left->addRow("Packet Variable Name", variable_name_);
    left->addRow("Data Collector TCP Port", tcp_port_);
    connect(config_script_, &QLineEdit::editingFinished, this, [this] {
        std::string text = Text(config_script_);
        LeaveScriptName(text, 6);
        SetText(config_script_, text);
    });
    connect(variable_name_, &QLineEdit::editingFinished, this, [this] {
        std::string text = Text(variable_name_);
        LeaveScriptName(text, 6);
        SetText(variable_name_, text);
    });
    connect(data_script_, &QLineEdit::editingFinished, this, [this] {
        std::string text = Text(data_script_);
        LeaveScriptName(text, 10);
        SetText(data_script_, text);
    });

    auto* delays = new QGroupBox("Response Delay (ms)");
    auto* delay_form = new QFormLayout(delays);
    const char* delay_labels[4] = {"Exp. A", "RS-232", "Exp. B", "RS-485"};
    const char* delay_names[4] = {"delayExpA", "delayRs232", "delayExpB", "delayRs485"};
    for (int port : {comm_port::kRs232, comm_port::kRs485, comm_port::kExpansionA, comm_port::kExpansionB}) {
        delays_[port] = Entry(delay_names[port], 5, 70);
        installTextFilter(delays_[port], [](const std::string& text) { return FilterDelayTyping(text); });
        delay_form->addRow(delay_labels[port], delays_[port]);
    }
    connect(delays_[comm_port::kRs485], &QLineEdit::editingFinished, this, [this] {
        std::string text = Text(delays_[comm_port::kRs485]);
        LeaveRs485Delay(text);
        SetText(delays_[comm_port::kRs485], text);
    });

    auto* advanced = new QGroupBox("Advanced");
    auto* advanced_form = new QFormLayout(advanced);
    simple_protocol_ = Choice("simpleProtocol", {"Enabled", "Disabled"});
    flow_control_box_ = Choice("flowControl", {"None", "RTS/CTS"});
    advanced_form->addRow("Simple Protocol", simple_protocol_);
    advanced_form->addRow("Flow Control", flow_control_box_);
    connect(flow_control_box_, &QComboBox::activated, this, &CommunicationPageWidget::flowControlChosen);

    auto* push = new QGroupBox("Data Push Setup");
    auto* push_grid = new QGridLayout(push);
    push_grid->addWidget(new QLabel("Enabled"), 0, 0);
    push_grid->addWidget(new QLabel("Port"), 0, 1);
    push_grid->addWidget(new QLabel("Data Type"), 0, 2);
    for (int row = 0; row < 4; ++row) {
        push_enabled_[row] = new QCheckBox;
        push_enabled_[row]->setObjectName(QString("pushEnabled%1").arg(row));
        push_port_[row] = Choice(QString("pushPort%1").arg(row), Items(kPushPortNames));
        push_type_[row] = Choice(QString("pushType%1").arg(row), Items(kPushDataTypes));
        push_grid->addWidget(push_enabled_[row], row + 1, 0, Qt::AlignCenter);
        push_grid->addWidget(push_port_[row], row + 1, 1);
        push_grid->addWidget(push_type_[row], row + 1, 2);
    }

    auto* right = new QVBoxLayout;
    right->addWidget(delays);
    right->addWidget(advanced);
    right->addWidget(push);
    right->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(24);
    layout->addLayout(left);
    layout->addLayout(right);
}

void CommunicationPageWidget::flowControlChosen(int index) {
    if (loading_ || index == flow_control_)
        return;
    const char* warning = index == 1 ? kFlowControlOnWarning : kFlowControlOffWarning;
    if (prompts_.Ask("Warning...", warning, "OK", "Cancel")) {
        flow_control_ = index;
    } else {
        flow_control_box_->setCurrentIndex(flow_control_);
    }
}

void CommunicationPageWidget::load(const CommunicationPageModel& page) {
    loading_ = true;
    for (int k = 0; k < 4; ++k) {
        SetText(modem_ip_[k], page.modem_ip[k]);
        SetText(collector_ip_[k], page.collector_ip[k]);
        baud_[k]->setCurrentIndex(page.baud[k]);
        SetText(delays_[k], page.delays[k]);
        push_enabled_[k]->setChecked(page.push[k].enabled);
        push_port_[k]->setCurrentIndex(page.push[k].port);
        push_type_[k]->setCurrentIndex(page.push[k].data_type);
    }
    SetText(config_script_, page.config_script);
    SetText(data_script_, page.data_script);
    SetText(variable_name_, page.variable_name);
    SetText(tcp_port_, page.tcp_port);
    simple_protocol_->setCurrentIndex(page.simple_protocol ? 0 : 1);
    flow_control_ = page.rts_cts ? 1 : 0;
    flow_control_box_->setCurrentIndex(flow_control_);
    loading_ = false;
}

void CommunicationPageWidget::store(CommunicationPageModel& page) const {
    for (int k = 0; k < 4; ++k) {
        page.modem_ip[k] = Text(modem_ip_[k]);
        page.collector_ip[k] = Text(collector_ip_[k]);
        page.baud[k] = baud_[k]->currentIndex();
        page.delays[k] = Text(delays_[k]);
        page.push[k].enabled = push_enabled_[k]->isChecked();
        page.push[k].port = push_port_[k]->currentIndex();
        page.push[k].data_type = push_type_[k]->currentIndex();
    }
    page.config_script = Text(config_script_);
    page.data_script = Text(data_script_);
    page.variable_name = Text(variable_name_);
    page.tcp_port = Text(tcp_port_);
    page.simple_protocol = simple_protocol_->currentIndex() == 0;
    page.rts_cts = flow_control_box_->currentIndex() == 1;
}

// ---- Data Collection ----

DataCollectionPageWidget::DataCollectionPageWidget(DataCollectionPage& page, UserPrompts& prompts,
                                                   QWidget* parent)
    : QWidget(parent), page_(page), prompts_(prompts) {
    setObjectName("dataCollectionPage");
    painter_ = new MarkPainter(this);
    painter_->setMarks(&page_.marks());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(10);
    auto* top = new QHBoxLayout;
    top->addWidget(buildTop(), 1);
    top->addWidget(buildRegisters());
    layout->addLayout(top);
    layout->addWidget(buildLanes(), 1);
}

QWidget* DataCollectionPageWidget::buildTop() {
    auto* box = new QWidget;
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    interval_ = Entry("interval", 9, 90);
    store_in_flash_ = new QCheckBox("Store in Flash Memory");
    store_in_flash_->setObjectName("storeInFlash");
    flash_interval_ = Entry("flashInterval", 5, 90);
    flash_hint_ = new QLabel;
    flash_hint_->setObjectName("flashHint");
    grid->addWidget(new QLabel("Interval (Bin) Size (seconds)"), 0, 0);
    grid->addWidget(interval_, 0, 1);
    grid->addWidget(store_in_flash_, 0, 2, 1, 2);
    grid->addWidget(new QLabel("Flash Interval (seconds)"), 1, 0);
    grid->addWidget(flash_interval_, 1, 1);
    grid->addWidget(flash_hint_, 1, 2, 1, 2);
    painter_->track(interval_, dc_control::kInterval);
    painter_->track(flash_interval_, dc_control::kFlashInterval);

    installTextFilter(interval_, [this](const std::string& text) {
        std::string kept = DataCollectionPage::FilterIntervalTyping(text);
        page_.model().interval = kept;
        page_.IntervalChanged();
        flash_hint_->setText(QString("(300 <= Flash Interval <= %1)").arg(page_.model().flash_limit));
        return kept;
    });
    installTextFilter(flash_interval_, [](const std::string& text) {
        return DataCollectionPage::FilterFlashIntervalTyping(text);
    });
    connect(store_in_flash_, &QCheckBox::toggled, this, [this](bool on) {
        flash_interval_->setEnabled(on);
        flash_hint_->setEnabled(on);
    });

    auto* classes = new QGroupBox("Length Classes");
    auto* class_grid = new QGridLayout(classes);
    min_label_ = new QLabel;
    max_label_ = new QLabel;
    class_grid->addWidget(min_label_, 0, 1);
    class_grid->addWidget(max_label_, 0, 2);
    const char* class_names[3] = {"Small", "Medium", "Large"};
    for (int k = 0; k < 6; ++k) {
        classes_[k] = Entry(QString("classLength%1").arg(k), 4, 70);
        class_grid->addWidget(classes_[k], k / 2 + 1, k % 2 + 1);
        painter_->track(classes_[k], dc_control::kFirstClassLength + k);
        // Only the small and medium maximums are typed; the rest follow them.
        classes_[k]->setReadOnly(k != kSmallMax && k != kMediumMax);
    }
    for (int k = 0; k < 3; ++k)
        class_grid->addWidget(new QLabel(class_names[k]), k + 1, 0);
    class_grid->setColumnStretch(3, 1);
    for (ClassLength which : {kSmallMax, kMediumMax}) {
        QLineEdit* entry = classes_[which];
        connect(entry, &QLineEdit::textEdited, this, [this, which, entry] {
            page_.model().class_lengths[which] = Text(entry);
            page_.ClassMaximumTyped(which);
            refresh();
        });
        connect(entry, &QLineEdit::editingFinished, this, [this, which, entry] {
            page_.model().class_lengths[which] = Text(entry);
            page_.LeaveClassMaximum(which);
            refresh();
        });
    }
    grid->addWidget(classes, 2, 0, 1, 4);
    grid->setColumnStretch(3, 1);
    return box;
}

QWidget* DataCollectionPageWidget::buildRegisters() {
    auto* box = new QGroupBox("Registers (hex)");
    auto* form = new QFormLayout(box);
    dacr_ = Entry("dacr", 4, 60);
    pga_ = Entry("pga", 2, 60);
    speed_avg_ = Entry("speedAvg", 4, 60);
    form->addRow("DACR", dacr_);
    form->addRow("PGA", pga_);
    form->addRow("Speed Avg Val", speed_avg_);
    installTextFilter(dacr_,
                      [](const std::string& text) { return DataCollectionPage::FilterDacrTyping(text); });
    installTextFilter(pga_,
                      [](const std::string& text) { return DataCollectionPage::FilterPgaTyping(text); });
    installTextFilter(speed_avg_, [](const std::string& text) { return FilterHex4Typing(text); });
    for (QLineEdit* entry : {dacr_, pga_, speed_avg_}) {
        connect(entry, &QLineEdit::editingFinished, this, [this] {
            store();
            page_.LeaveHexRegisters();
            refresh();
        });
    }
    extension_ms_ = new QSpinBox;
    extension_ms_->setObjectName("extensionTime");
    extension_ms_->setRange(0, 2500);
    extension_ms_->setSingleStep(10);
    form->addRow("Extension Time (ms)", extension_ms_);
    return box;
}

QWidget* DataCollectionPageWidget::buildLanes() {
    auto* box = new QGroupBox("Lanes");
    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    loop_units_ = new QLabel;
    size_heading_ = new QLabel;
    spacing_heading_ = new QLabel;
    const QStringList headings = {"", "Lane Name", "Direction", "Ext. Time"};
    for (int k = 0; k < headings.size(); ++k)
        grid->addWidget(new QLabel(headings[k]), 0, k);
    grid->addWidget(size_heading_, 0, 4);
    grid->addWidget(spacing_heading_, 0, 5);

    for (int lane = 0; lane < kPageLanes; ++lane) {
        const int row = lane + 1;
        grid->addWidget(new QLabel(QString::number(lane + 1)), row, 0);
        names_[lane] = Entry(QString("laneName%1").arg(lane), 8, 90);
        connect(names_[lane], &QLineEdit::editingFinished, this, [this] {
            store();
            page_.LeaveHexRegisters();
            refresh();
        });
        directions_[lane] = Choice(QString("direction%1").arg(lane), {"Left", "Right"});
        extended_[lane] = new QCheckBox;
        extended_[lane]->setObjectName(QString("extended%1").arg(lane));
        connect(extended_[lane], &QCheckBox::toggled, this, [this, lane](bool on) {
            if (loading_ || !config_)
                return;
            page_.model().extended[lane] = on;
            page_.ExtensionTicked(*config_, lane);
        });
        sizes_[lane] = new QSpinBox;
        sizes_[lane]->setObjectName(QString("loopSize%1").arg(lane));
        spacings_[lane] = new QSpinBox;
        spacings_[lane]->setObjectName(QString("loopSpacing%1").arg(lane));
        occupancy_[lane] = new QLabel;
        occupancy_[lane]->setObjectName(QString("occupancyScale%1").arg(lane));
        speed_[lane] = new QLabel;
        speed_[lane]->setObjectName(QString("speedScale%1").arg(lane));
        painter_->track(sizes_[lane], dc_control::kFirstLoopSize + lane);
        painter_->track(spacings_[lane], dc_control::kFirstLoopSpacing + lane);
        painter_->track(occupancy_[lane], dc_control::kFirstLoopSize + lane);
        painter_->track(speed_[lane], dc_control::kFirstLoopSpacing + lane);
        for (auto [spin, control] : {std::pair{sizes_[lane], dc_control::kFirstLoopSize + lane},
                                     std::pair{spacings_[lane], dc_control::kFirstLoopSpacing + lane}}) {
            spin->setProperty("lastValue", 0);
            connect(spin, &QSpinBox::valueChanged, this,
                    [this, spin, control] { loopStepped(control, spin); });
        }
        grid->addWidget(names_[lane], row, 1);
        grid->addWidget(directions_[lane], row, 2);
        grid->addWidget(extended_[lane], row, 3, Qt::AlignCenter);
        grid->addWidget(sizes_[lane], row, 4);
        grid->addWidget(occupancy_[lane], row, 4);
        grid->addWidget(spacings_[lane], row, 5);
        grid->addWidget(speed_[lane], row, 5);
    }

    default_size_ = new QSpinBox;
    default_size_->setObjectName("defaultSize");
    default_spacing_ = new QSpinBox;
    default_spacing_->setObjectName("defaultSpacing");
    painter_->track(default_size_, dc_control::kDefaultSize);
    painter_->track(default_spacing_, dc_control::kDefaultSpacing);
    auto* apply_size = NamedButton("Apply", "applySize");
    auto* apply_spacing = NamedButton("Apply", "applySpacing");
    connect(apply_size, &QPushButton::clicked, this, [this] { applyDefault(false); });
    connect(apply_spacing, &QPushButton::clicked, this, [this] { applyDefault(true); });
    view_button_ = NamedButton("", "viewButton");
    connect(view_button_, &QPushButton::clicked, this, [this] {
        store();
        page_.SetScaleView(!page_.model().scale_view);
        refresh();
    });

    auto* defaults = new QHBoxLayout;
    defaults->addWidget(loop_units_);
    defaults->addStretch(1);
    defaults->addWidget(new QLabel("Size"));
    defaults->addWidget(default_size_);
    defaults->addWidget(apply_size);
    defaults->addSpacing(12);
    defaults->addWidget(new QLabel("Spacing"));
    defaults->addWidget(default_spacing_);
    defaults->addWidget(apply_spacing);
    defaults->addSpacing(12);
    defaults->addWidget(view_button_);
    grid->addLayout(defaults, kPageLanes + 1, 0, 1, 7);
    grid->setColumnStretch(6, 1);  // the columns keep their size in a wide window
    return box;
}

void DataCollectionPageWidget::loopStepped(int control, QSpinBox* spin) {
    if (loading_)
        return;
    const long long old_value = spin->property("lastValue").toLongLong();
    store();
    page_.LoopValueStepped(control, old_value);
    refresh();
}

void DataCollectionPageWidget::applyDefault(bool spacing) {
    store();
    const bool ask = page_.ClampDefault(spacing);
    refresh();
    const char* question =
        spacing ? DataCollectionPage::kApplySpacingQuestion : DataCollectionPage::kApplySizeQuestion;
    if (ask && prompts_.Ask("Apply default settings...?", question)) {
        page_.ApplyDefaultToLanes(spacing);
        refresh();
    }
}

void DataCollectionPageWidget::load() {
    refresh();
}

void DataCollectionPageWidget::refresh() {
    loading_ = true;
    const DataCollectionModel& m = page_.model();
    const DataCollectionLabels labels = LabelsForUnits(m.units);
    min_label_->setText(Qs(labels.min_length));
    max_label_->setText(Qs(labels.max_length));
    loop_units_->setText(Qs(labels.loop_units).replace("\r\n", "\n"));
    SetText(interval_, m.interval);
    store_in_flash_->setChecked(m.store_in_flash);
    flash_interval_->setEnabled(m.store_in_flash);
    SetText(flash_interval_, m.flash_interval);
    flash_hint_->setText(QString("(300 <= Flash Interval <= %1)").arg(m.flash_limit));
    for (int k = 0; k < 6; ++k)
        SetText(classes_[k], m.class_lengths[k]);
    const int size_limit = static_cast<int>(page_.LoopSizeLimit());
    const int spacing_limit = static_cast<int>(page_.LoopSpacingLimit());
    const auto set_spin = [](QSpinBox* spin, int limit, const std::string& text) {
        spin->setRange(1, limit);
        spin->setValue(QString::fromStdString(text).toInt());
        spin->setProperty("lastValue", spin->value());
    };
    for (int lane = 0; lane < kPageLanes; ++lane) {
        SetText(names_[lane], m.lane_names[lane]);
        directions_[lane]->setCurrentIndex(m.directions[lane]);
        directions_[lane]->setEnabled(m.directions_enabled);
        extended_[lane]->setChecked(m.extended[lane]);
        set_spin(sizes_[lane], size_limit, m.loop_sizes[lane]);
        set_spin(spacings_[lane], spacing_limit, m.loop_spacings[lane]);
        occupancy_[lane]->setText(Qs(m.occupancy_scales[lane]));
        speed_[lane]->setText(Qs(m.speed_scales[lane]));
        sizes_[lane]->setVisible(!m.scale_view);
        spacings_[lane]->setVisible(!m.scale_view);
        occupancy_[lane]->setVisible(m.scale_view);
        speed_[lane]->setVisible(m.scale_view);
    }
    set_spin(default_size_, size_limit, m.default_size);
    set_spin(default_spacing_, spacing_limit, m.default_spacing);
    size_heading_->setText(m.scale_view ? "Scale\nOccupancy" : "Loop\nSize");
    spacing_heading_->setText(m.scale_view ? "Scale\nSpeed" : "Loop\nSpacing");
    view_button_->setText(m.scale_view ? "Show Loop Values" : "Show Scale Factors");
    extension_ms_->setValue(QString::fromStdString(m.extension_ms).toInt());
    SetText(dacr_, m.dacr);
    SetText(pga_, m.pga);
    SetText(speed_avg_, m.speed_avg);
    painter_->paint();
    loading_ = false;
}

void DataCollectionPageWidget::store() {
    DataCollectionModel& m = page_.model();
    m.interval = Text(interval_);
    m.store_in_flash = store_in_flash_->isChecked();
    m.flash_interval = Text(flash_interval_);
    for (int k = 0; k < 6; ++k)
        m.class_lengths[k] = Text(classes_[k]);
    for (int lane = 0; lane < kPageLanes; ++lane) {
        m.lane_names[lane] = Text(names_[lane]);
        m.directions[lane] = directions_[lane]->currentIndex();
        m.extended[lane] = extended_[lane]->isChecked();
        m.loop_sizes[lane] = std::to_string(sizes_[lane]->value());
        m.loop_spacings[lane] = std::to_string(spacings_[lane]->value());
    }
    m.default_size = std::to_string(default_size_->value());
    m.default_spacing = std::to_string(default_spacing_->value());
    m.extension_ms = std::to_string(extension_ms_->value());
    m.dacr = Text(dacr_);
    m.pga = Text(pga_);
    m.speed_avg = Text(speed_avg_);
}

// ---- calibration ----

SideFireCalibrationWidget::SideFireCalibrationWidget(SideFireCalibrationPage& page, QWidget* parent)
    : QWidget(parent), page_(page) {
    setObjectName("sideFireCalibrationPage");
    painter_ = new MarkPainter(this);
    painter_->setMarks(&page_.marks());
    auto* noise = new QGroupBox("Noise Rejection Thresholds (hex)");
    auto* noise_grid = new QGridLayout(noise);
    noise_grid->addWidget(new QLabel("Main (Filtered)"), 1, 0);
    noise_grid->addWidget(new QLabel("Aux (Unfiltered)"), 2, 0);
    for (int lane = 0; lane < 8; ++lane) {
        noise_grid->addWidget(new QLabel(QString("Lane %1").arg(lane + 1)), 0, lane + 1, Qt::AlignCenter);
        main_[lane] = HexEntry(QString("mainNoise%1").arg(lane));
        aux_[lane] = HexEntry(QString("auxNoise%1").arg(lane));
        noise_grid->addWidget(main_[lane], 1, lane + 1);
        noise_grid->addWidget(aux_[lane], 2, lane + 1);
    }
    auto* boundaries = new QGroupBox("Lane Boundary Index Array (hex)");
    auto* boundary_grid = new QGridLayout(boundaries);
    for (int k = 0; k < 20; ++k) {
        boundaries_[k] = HexEntry(QString("boundary%1").arg(k));
        painter_->track(boundaries_[k], k);
        boundary_grid->addWidget(new QLabel(QString::number(k)), (k / 10) * 2, k % 10, Qt::AlignCenter);
        boundary_grid->addWidget(boundaries_[k], (k / 10) * 2 + 1, k % 10);
    }
    auto* last = new QGroupBox("Last Lane Index Array (hex)");
    auto* last_grid = new QGridLayout(last);
    for (int k = 0; k < 4; ++k) {
        last_lanes_[k] = HexEntry(QString("lastLane%1").arg(k));
        last_grid->addWidget(new QLabel(QString::number(k)), 0, k, Qt::AlignCenter);
        last_grid->addWidget(last_lanes_[k], 1, k);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(noise);
    layout->addWidget(boundaries);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(last);
    bottom->addStretch(1);
    layout->addLayout(bottom);
    layout->addStretch(1);
}

void SideFireCalibrationWidget::load() {
    const SideFireCalibrationModel& m = page_.model();
    for (int k = 0; k < 8; ++k) {
        SetText(main_[k], m.main_noise[k]);
        SetText(aux_[k], m.aux_noise[k]);
    }
    for (int k = 0; k < 20; ++k)
        SetText(boundaries_[k], m.boundaries[k]);
    for (int k = 0; k < 4; ++k)
        SetText(last_lanes_[k], m.last_lanes[k]);
    painter_->paint();
}

void SideFireCalibrationWidget::store() {
    SideFireCalibrationModel& m = page_.model();
    for (int k = 0; k < 8; ++k) {
        m.main_noise[k] = Text(main_[k]);
        m.aux_noise[k] = Text(aux_[k]);
    }
    for (int k = 0; k < 20; ++k)
        m.boundaries[k] = Text(boundaries_[k]);
    for (int k = 0; k < 4; ++k)
        m.last_lanes[k] = Text(last_lanes_[k]);
}

ForwardFireCalibrationWidget::ForwardFireCalibrationWidget(QWidget* parent) : QWidget(parent) {
    setObjectName("forwardFireCalibrationPage");
    auto* zones = new QGroupBox("Zone Ranges (hex)");
    auto* zone_grid = new QGridLayout(zones);
    zone_grid->addWidget(new QLabel("Start Bin"), 1, 0);
    zone_grid->addWidget(new QLabel("Stop Bin"), 2, 0);
    for (int k = 0; k < 8; ++k) {
        zone_grid->addWidget(new QLabel(QString("Zone %1").arg(k + 1)), 0, k + 1, Qt::AlignCenter);
        start_[k] = HexEntry(QString("startBin%1").arg(k));
        stop_[k] = HexEntry(QString("stopBin%1").arg(k));
        zone_grid->addWidget(start_[k], 1, k + 1);
        zone_grid->addWidget(stop_[k], 2, k + 1);
    }
    const auto entry_grid = [](QGroupBox* box, auto& entries, const QString& name, int columns) {
        auto* grid = new QGridLayout(box);
        grid->setVerticalSpacing(2);
        for (int k = 0; k < static_cast<int>(entries.size()); ++k) {
            entries[k] = HexEntry(QString("%1%2").arg(name).arg(k));
            auto* cell = new QHBoxLayout;
            auto* label = new QLabel(QString::number(k));
            label->setFixedWidth(18);
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            cell->addWidget(label);
            cell->addWidget(entries[k]);
            grid->addLayout(cell, k / columns, k % columns);
        }
    };
    auto* thresholds = new QGroupBox("Bin Thresholds (hex)");
    entry_grid(thresholds, thresholds_, "binThreshold", 16);
    auto* noise = new QGroupBox("Peak Noise Thresholds (hex)");
    entry_grid(noise, noise_, "peakNoise", 16);
    auto* other = new QGroupBox("Shown only (not written)");
    auto* other_form = new QHBoxLayout(other);
    presence_ = HexEntry("peakPresence");
    presence_->setReadOnly(true);
    other_form->addWidget(new QLabel("Peak Presence Threshold (hex)"));
    other_form->addWidget(presence_);
    other_form->addSpacing(16);
    other_form->addWidget(new QLabel("Future Use Fields"));
    for (int k = 0; k < 2; ++k) {
        future_[k] = HexEntry(QString("futureUse%1").arg(k));
        future_[k]->setReadOnly(true);
        other_form->addWidget(future_[k]);
    }
    other_form->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(zones);
    layout->addWidget(thresholds);
    layout->addWidget(noise);
    layout->addWidget(other);
}

void ForwardFireCalibrationWidget::load(const ForwardFireCalibrationModel& page) {
    for (int k = 0; k < 8; ++k) {
        SetText(start_[k], page.start_bins[k]);
        SetText(stop_[k], page.stop_bins[k]);
    }
    for (std::size_t k = 0; k < thresholds_.size(); ++k)
        SetText(thresholds_[k], page.bin_thresholds[k]);
    for (std::size_t k = 0; k < noise_.size(); ++k)
        SetText(noise_[k], page.peak_noise[k]);
    SetText(presence_, page.peak_presence);
    for (int k = 0; k < 2; ++k)
        SetText(future_[k], page.future_use[k]);
}

void ForwardFireCalibrationWidget::store(ForwardFireCalibrationModel& page) const {
    for (int k = 0; k < 8; ++k) {
        page.start_bins[k] = Text(start_[k]);
        page.stop_bins[k] = Text(stop_[k]);
    }
    for (std::size_t k = 0; k < thresholds_.size(); ++k)
        page.bin_thresholds[k] = Text(thresholds_[k]);
    for (std::size_t k = 0; k < noise_.size(); ++k)
        page.peak_noise[k] = Text(noise_[k]);
}

}  // namespace qvx::gui
