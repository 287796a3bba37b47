#include "connect/select_sensor_id_dialog.h"

#include <QComboBox>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include "base/busy_flag.h"
#include "connect/connection_defaults.h"
#include "context/app_context.h"
#include "protocol/busy_cursor.h"

namespace qvx::gui {

namespace {
constexpr int kPollMs = 50;
}

SelectSensorIdDialog::SelectSensorIdDialog(ConnectionState& state, Detector detector, QWidget* parent)
    : QDialog(parent), state_(state), detector_(std::move(detector)) {
    setWindowTitle("Select the sensor ID...");
    prompt_ = new QLabel;
    prompt_->setObjectName("promptLabel");
    id_list_ = new QComboBox;
    id_list_->setObjectName("idList");
    id_list_->setEditable(true);
    id_list_->setInsertPolicy(QComboBox::NoInsert);
    id_list_->lineEdit()->setMaxLength(static_cast<int>(kMultiDropIdLength));
    continue_ = new QPushButton("Continue");
    continue_->setObjectName("continueButton");
    continue_->setDefault(true);
    cancel_ = new QPushButton("Cancel");
    cancel_->setObjectName("cancelButton");
    redetect_ = new QPushButton("Redetect");
    redetect_->setObjectName("redetectButton");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(continue_);
    buttons->addWidget(cancel_);
    buttons->addWidget(redetect_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt_);
    layout->addWidget(id_list_);
    layout->addLayout(buttons);

    connect(continue_, &QPushButton::clicked, this, &SelectSensorIdDialog::takeChoice);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(redetect_, &QPushButton::clicked, this, [this] { detect(true); });
    connect(&poll_, &QTimer::timeout, this, &SelectSensorIdDialog::checkDetection);
    poll_.setInterval(kPollMs);
}

SelectSensorIdDialog::Detector SelectSensorIdDialog::LinkDetector(AppContext& app) {
    return [&app](MultiDropDetection& detection, bool redetect) {
        if (redetect) {
            RedetectMultiDropIds(app.protocol, detection);
        } else {
            GatherMultiDropIds(app.protocol, detection);
        }
    };
}

SensorSelection SelectSensorIdDialog::run() {
    detect(false);
    QEventLoop wait;
    connect(&poll_, &QTimer::timeout, &wait, [this, &wait] {
        if (!task_.running()) {
            wait.quit();
        }
    });
    if (task_.running()) {
        wait.exec();
    }
    SensorSelection selection;
    if (detection_.count == 0) {
        selection.continued = true;
        return selection;
    }
    exec();
    selection.continued = continued_;
    selection.count = detection_.count;
    return selection;
}

// The detection owns the link and the list until it ends; the window only shows the wait.
void SelectSensorIdDialog::detect(bool redetect) {
    if (task_.running()) {
        return;
    }
    busy_flag::Set();
    BusyCursor::sync();
    task_.start([this, redetect] { detector_(detection_, redetect); });
    poll_.start();
    updateWidgets();
}

void SelectSensorIdDialog::checkDetection() {
    if (!task_.collect()) {
        return;
    }
    poll_.stop();
    busy_flag::Clear();
    BusyCursor::sync();
    showDetection();
}

void SelectSensorIdDialog::showDetection() {
    id_list_->clear();
    for (const std::string& id : detection_.ids) {
        id_list_->addItem(QString::fromStdString(id));
    }
    id_list_->setCurrentIndex(detection_.selected);
    prompt_->setText(QString::fromStdString(detection_.prompt).replace("\r\n", "\n"));
    updateWidgets();
}

void SelectSensorIdDialog::takeChoice() {
    continued_ = TakeChosenSensorId(state_, id_list_->currentText().toStdString());
    if (continued_) {
        accept();
    } else {
        reject();
    }
}

void SelectSensorIdDialog::updateWidgets() {
    const bool idle = !task_.running();
    continue_->setEnabled(idle);
    redetect_->setEnabled(idle);
    id_list_->setEnabled(idle);
}

SensorSelector MakeSensorSelector(QObject* context, QWidget* parent) {
    QPointer<QWidget> owner(parent);
    return [context, owner](AppContext& app) {
        auto ask = [&app, owner] {
            SelectSensorIdDialog dialog(app.state, SelectSensorIdDialog::LinkDetector(app), owner.data());
            return dialog.run();
        };
        if (QThread::currentThread() == context->thread()) {
            return ask();
        }
        SensorSelection selection;
        QMetaObject::invokeMethod(
            context, [&selection, &ask] { selection = ask(); }, Qt::BlockingQueuedConnection);
        return selection;
    };
}

}  // namespace qvx::gui
