#include "config/settings_window.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "context/app_context.h"
#include "app/link_work.h"
#include "config/settings_page_widgets.h"
#include "connect/dialog_widgets.h"
#include "protocol/busy_cursor.h"

namespace qvx::gui {

namespace {
constexpr int kDataCollectionTab = 2;

void Tell(AppContext& app, const std::string& text, const std::string& caption, IconKind icon) {
    MessageRequest request;
    request.text = text;
    request.caption = caption;
    request.icon = icon;
    app.prompts().Message(request);
}
}  // namespace

SettingsWindow::SettingsWindow(AppContext& app, SensorOperations& operations, QWidget* parent)
    : QDialog(parent),
      app_(app),
      operations_(operations),
      editor_(std::make_unique<SettingsEditor>(app, app.state.side_fire_mode != 0)) {
    setObjectName("settingsWindow");
    setWindowTitle("Sensor Settings");
    setModal(true);

    general_ = new GeneralPageWidget(app_.prompts(), app_.engineering_unlocked());
    general_->setConfiguration(&editor_->working_copy());
    communication_ = new CommunicationPageWidget(app_.prompts());
    data_collection_ = new DataCollectionPageWidget(editor_->data_collection(), app_.prompts());
    data_collection_->setConfiguration(&editor_->working_copy());
    tabs_ = new QTabWidget;
    tabs_->setObjectName("settingsTabs");
    tabs_->addTab(general_, "General");
    tabs_->addTab(communication_, "Communication");
    tabs_->addTab(data_collection_, "Data Collection");
    if (editor_->side_fire()) {
        side_fire_ = new SideFireCalibrationWidget(editor_->side_fire_calibration());
        tabs_->addTab(side_fire_, "Lane Calibration");
    } else {
        forward_fire_ = new ForwardFireCalibrationWidget;
        tabs_->addTab(forward_fire_, "Lane Calibration");
    }
    connect(tabs_, &QTabWidget::currentChanged, this, &SettingsWindow::tabChanged);
    connect(general_, &GeneralPageWidget::unitsChanged, this, &SettingsWindow::unitsChanged);

    open_sensor_ = NamedButton("Open from Sensor", "openFromSensor");
    save_sensor_ = NamedButton("Save to Sensor", "saveToSensor");
    open_file_ = NamedButton("Open from File", "openFromFile");
    save_file_ = NamedButton("Save to File", "saveToFile");
    auto* close = NamedButton("Close", "close");
    open_file_->setShortcut(QKeySequence::Open);
    save_file_->setShortcut(QKeySequence::Save);
    connect(open_sensor_, &QPushButton::clicked, this, &SettingsWindow::openFromSensor);
    connect(save_sensor_, &QPushButton::clicked, this, &SettingsWindow::saveToSensor);
    connect(open_file_, &QPushButton::clicked, this, &SettingsWindow::openFromFile);
    connect(save_file_, &QPushButton::clicked, this, &SettingsWindow::saveToFile);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    status_ = new QLabel;
    status_->setObjectName("settingsStatus");
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {open_sensor_, save_sensor_, open_file_, save_file_})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addWidget(status_);
    layout->addLayout(buttons);

    choose_file = [this](bool save) { return askForFile(save); };
    updateWidgets();
}

SettingsWindow::~SettingsWindow() = default;

QString SettingsWindow::statusText() const {
    return status_->text();
}

void SettingsWindow::showStatus(const QString& text) {
    status_->setText(text);
}

QString SettingsWindow::askForFile(bool save) {
    const QString filter = QString("%1;;All files (*)").arg(kSettingsFileFilter);
    return save ? QFileDialog::getSaveFileName(this, "Save to File", QString(), filter)
                : QFileDialog::getOpenFileName(this, "Open from File", QString(), filter);
}

void SettingsWindow::updateWidgets() {
    const bool linked = editor_->connected();
    open_sensor_->setEnabled(linked);
    save_sensor_->setEnabled(linked);
}

bool SettingsWindow::load() {
    if (!editor_->connected())
        return openFromFile();
    bool loaded = false;
    RunLinkWork([&] { loaded = editor_->ReadFromSensor(true); });
    if (loaded) {
        loadAll();
        tabs_->setCurrentIndex(0);
        showStatus("Read from the sensor.");
    }
    return loaded;
}

void SettingsWindow::loadAll() {
    general_->load(editor_->general());
    communication_->load(editor_->communication());
    data_collection_->load();
    if (side_fire_)
        side_fire_->load();
    if (forward_fire_)
        forward_fire_->load(editor_->forward_fire_calibration());
}

void SettingsWindow::storeAll() {
    general_->store(editor_->general());
    communication_->store(editor_->communication());
    data_collection_->store();
    if (side_fire_)
        side_fire_->store();
    if (forward_fire_)
        forward_fire_->store(editor_->forward_fire_calibration());
}

void SettingsWindow::tabChanged(int index) {
    // Edits on one page reach the records before another page shows them.
    storeAll();
    editor_->CollectAll();
    if (index == kDataCollectionTab) {
        editor_->data_collection().Show(editor_->working_copy(), editor_->side_fire(), false);
        editor_->data_collection().SetScaleView(true);
    }
    loadAll();
    current_tab_ = index;
}

void SettingsWindow::unitsChanged() {
    general_->store(editor_->general());
    data_collection_->store();
    editor_->UnitsChanged();
    data_collection_->load();
}

bool SettingsWindow::openFromSensor() {
    bool read = false;
    RunLinkWork([&] { read = editor_->ReadFromSensor(false); });
    if (read) {
        loadAll();
        showStatus("Read from the sensor.");
    }
    return read;
}

SaveToSensorResult SettingsWindow::saveToSensor() {
    storeAll();
    SaveToSensorResult result = SaveToSensorResult::NotSaved;
    RunLinkWork([&] { result = editor_->SaveToSensor(operations_); });
    loadAll();
    data_collection_->paintMarks();
    if (side_fire_)
        side_fire_->paintMarks();
    switch (result) {
        case SaveToSensorResult::Saved:
            showStatus("Saved to the sensor.");
            break;
        case SaveToSensorResult::BaudRateUnknown:
            exit_requested_ = true;
            reject();
            break;
        default:
            showStatus("Nothing was saved.");
            break;
    }
    return result;
}

bool SettingsWindow::openFromFile() {
    const QString chosen = choose_file ? choose_file(false) : QString();
    if (!chosen.isEmpty()) {
        const std::string path = WithSettingsFileExtension(chosen.toStdString());
        BusyCursor::sync();
        const SettingsFileOutcome outcome = editor_->OpenFile(path);
        if (outcome.ok()) {
            loadAll();
            tabs_->setCurrentIndex(0);
            showStatus("Opened " + Qs(path));
            return true;
        }
        showStatus(Qs("Not opened: " + outcome.problem));
    }
    Tell(app_, kNoFileText, kNoFileCaption, IconKind::Warning);
    return false;
}

bool SettingsWindow::saveToFile() {
    storeAll();
    const int errors = editor_->ValidateForFile();
    loadAll();
    data_collection_->paintMarks();
    if (side_fire_)
        side_fire_->paintMarks();
    if (errors > 0)
        return false;
    const QString chosen = choose_file ? choose_file(true) : QString();
    if (chosen.isEmpty())
        return false;
    const std::string path = WithSettingsFileExtension(chosen.toStdString());
    const SettingsFileOutcome outcome = editor_->WriteFile(path);
    if (!outcome.ok()) {
        // The settings are not on disk: say so, the old file (if any) is untouched.
        Tell(app_, "The settings file\n" + path + "\ncould not be saved: " + outcome.problem + ".",
             "Save to File", IconKind::Error);
        showStatus("Not saved.");
        return false;
    }
    showStatus("Saved to " + Qs(path));
    return true;
}

}  // namespace qvx::gui
