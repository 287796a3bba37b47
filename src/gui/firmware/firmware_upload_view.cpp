#include "firmware/firmware_upload_view.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/link_work.h"
#include "context/app_context.h"
#include "firmware/upload_job.h"
#include "firmware/upload_progress_dialog.h"
#include "protocol/sensor_operations.h"

namespace qvx::gui {

namespace {
constexpr const char* kUnreadableText = "The selected file could not be read.";

QString ChooseHexFile(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, "Open", QDir::homePath(), "Hex files (*.hex)");
}
}  // namespace

FirmwareUploadView::FirmwareUploadView(AppContext& app, SensorOperations& operations, QWidget* parent)
    : WorkingView(parent), app_(app), operations_(operations), chooser_(ChooseHexFile) {
    dsp_ = new QRadioButton("&DSP");
    dsp_->setObjectName("dsp");
    fpga_ = new QRadioButton("&FPGA");
    fpga_->setObjectName("fpga");
    dsp_->setChecked(true);
    auto* kinds = new QButtonGroup(this);
    kinds->addButton(dsp_);
    kinds->addButton(fpga_);
    auto* kind_box = new QGroupBox("Firmware");
    auto* kind_layout = new QHBoxLayout(kind_box);
    kind_layout->addWidget(dsp_);
    kind_layout->addWidget(fpga_);
    kind_layout->addStretch(1);

    path_ = new QLineEdit;
    path_->setObjectName("path");
    path_->setReadOnly(true);
    path_->setPlaceholderText("Choose a hex file...");
    path_->setMinimumWidth(360);
    browse_ = new QPushButton("&Browse...");
    browse_->setObjectName("browse");
    upload_ = new QPushButton("UPLOAD");
    upload_->setObjectName("upload");

    auto* file_box = new QGroupBox("Hex file");
    auto* file_layout = new QHBoxLayout(file_box);
    file_layout->addWidget(path_, 1);
    file_layout->addWidget(browse_);

    auto* hint = new QLabel(
        "The sensor keeps running its firmware until the upload has been verified. An FPGA upload "
        "cancelled half-way leaves the sensor to fall back to its backup FPGA image.");
    hint->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel("<b>Firmware Upload</b>");
    layout->addWidget(title);
    layout->addWidget(kind_box);
    layout->addWidget(file_box);
    layout->addWidget(hint);
    layout->addWidget(upload_, 0, Qt::AlignRight);
    layout->addStretch(1);

    connect(kinds, &QButtonGroup::buttonToggled, this, [this](QAbstractButton*, bool checked) {
        if (checked) {
            path_->clear();  // the file was recognised as the other kind
            updateWidgets();
        }
    });
    connect(browse_, &QPushButton::clicked, this, &FirmwareUploadView::chooseFile);
    connect(upload_, &QPushButton::clicked, this, &FirmwareUploadView::startUpload);
    updateWidgets();
}

ImageKind FirmwareUploadView::kind() const {
    return fpga_->isChecked() ? ImageKind::Fpga : ImageKind::Dsp;
}

void FirmwareUploadView::setKind(ImageKind kind) {
    (kind == ImageKind::Fpga ? fpga_ : dsp_)->setChecked(true);
}

QString FirmwareUploadView::path() const {
    return path_->text();
}

void FirmwareUploadView::chooseFile() {
    const QString chosen = chooser_(this);
    if (!chosen.isEmpty()) {
        takeFile(chosen);
    }
}

void FirmwareUploadView::takeFile(const QString& path) {
    const auto bytes = ReadFileBytes(path.toStdString());
    const Recognition recognition =
        bytes ? RecognizeHexFile(*bytes, kind()) : Recognition{false, kInvalidFileCaption, kUnreadableText};
    if (!recognition.ok) {
        path_->clear();
        app_.prompts().Message(
            {.text = recognition.text, .caption = recognition.caption, .icon = IconKind::Warning});
    } else {
        path_->setText(path);
    }
    updateWidgets();
}

void FirmwareUploadView::startUpload() {
    const std::string path = path_->text().toStdString();
    if (path.empty() || LinkWorkRunning()) {
        return;
    }
    const auto image = HexImage::Load(kind(), path);
    if (!image) {
        app_.prompts().Message({.text = kUnreadableText, .caption = "Error", .icon = IconKind::Error});
        return;
    }
    if (!app_.prompts().Ask("Firmware Upload", UploadOverwriteQuestion(kind(), path))) {
        return;
    }
    RunLinkWork([this] { operations_.BeginSensorOperation(); });
    UploadJob job(app_.protocol, UploadImage::FromFile(*image, path));
    const UploadOutcome outcome = UploadProgressDialog::Run(job, app_.prompts(), this);
    RunLinkWork([this] { operations_.EndSensorOperation(); });
    emit uploadFinished(static_cast<int>(outcome));
}

void FirmwareUploadView::updateWidgets() {
    upload_->setEnabled(!path_->text().isEmpty());
    upload_->setDefault(!path_->text().isEmpty());
}

}  // namespace qvx::gui
