#include "app/sensor_info_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/link_work.h"
#include "app/sensor_info_access.h"

namespace qvx::gui {

namespace {
const char* const kFieldNames[] = {"Serial Number",    "Description", "Location", "Sensor ID",
                                   "Serial Interface", "DSP",         "FPGA"};

// A label without a buddy shows '&' as it is: the sensor's text needs no doubling here.
QString Shown(const std::string& text) {
    return QString::fromStdString(text);
}
}  // namespace

SensorInfoDialog::SensorInfoDialog(AppContext& app, QWidget* parent) : QDialog(parent), app_(app) {
    setWindowTitle("Sensor Information");
    setObjectName("sensorInfoDialog");
    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight);
    form->setHorizontalSpacing(16);
    form->setVerticalSpacing(8);
    for (const char* name : kFieldNames) {
        auto* value = new QLabel("Unknown");
        value->setObjectName(QString(name).remove(' '));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setMinimumWidth(280);
        value->setFrameShape(QFrame::StyledPanel);
        form->addRow(QString(name) + ":", value);
        fields_.emplace_back(name, value);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("okButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 14);
    layout->addLayout(form);
    layout->addSpacing(10);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString SensorInfoDialog::fieldText(const QString& name) const {
    for (const auto& [field, label] : fields_) {
        if (field == name)
            return label->text();
    }
    return {};
}

void SensorInfoDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (read_)
        return;
    read_ = true;
    // Read once the window is on screen, so the user sees "Unknown" while the sensor answers.
    QTimer::singleShot(0, this, [this] {
        SensorInformation info;
        RunLinkWork([&] { ReadSensorInformationExclusive(app_, info); });
        showInformation(info);
    });
}

void SensorInfoDialog::showInformation(const SensorInformation& info) {
    const std::string* values[] = {&info.serial_number,    &info.description, &info.location, &info.sensor_id,
                                   &info.serial_interface, &info.dsp,         &info.fpga};
    for (std::size_t k = 0; k < fields_.size(); ++k)
        fields_[k].second->setText(Shown(*values[k]));
}

}  // namespace qvx::gui
