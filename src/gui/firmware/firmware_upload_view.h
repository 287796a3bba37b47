#pragma once
// The firmware upload view (Tools > Firmware Upload, Ctrl+U): choose DSP or FPGA, pick a hex file
// (recognised as that kind before it is taken), and UPLOAD it after a confirmation, in the
// "Uploading firmware..." window, with the sensor clock preserved around it.

#include <functional>

#include "app/working_view.h"
#include "firmware/hex_image.h"

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace qvx {
class AppContext;
class SensorOperations;
}  // namespace qvx

namespace qvx::gui {

class FirmwareUploadView : public WorkingView {
    Q_OBJECT
  public:
    // The file dialog; tests replace it. Returns the chosen path or an empty string.
    using FileChooser = std::function<QString(QWidget* parent)>;

    FirmwareUploadView(AppContext& app, SensorOperations& operations, QWidget* parent = nullptr);
    ViewCode viewCode() const override { return ViewCode::FirmwareUpload; }

    void setFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

    ImageKind kind() const;
    void setKind(ImageKind kind);
    QString path() const;
    // Browse: the file dialog, then the recognition of the file as the selected kind.
    void chooseFile();
    // UPLOAD: nothing while no file is chosen.
    void startUpload();

  signals:
    void uploadFinished(int outcome);

  private:
    void takeFile(const QString& path);
    void updateWidgets();

    AppContext& app_;
    SensorOperations& operations_;
    FileChooser chooser_;
    QRadioButton* dsp_ = nullptr;
    QRadioButton* fpga_ = nullptr;
    QLineEdit* path_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPushButton* upload_ = nullptr;
};

}  // namespace qvx::gui
