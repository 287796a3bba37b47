#pragma once
// Step 1 of the export wizard: the log file to export and the format ("3 Card" or "CSV"), and a
// chart of the chosen log.

#include <QWidget>
#include <functional>

#include "export/export_settings.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace qvx::gui {

class ExportFileStep : public QWidget {
    Q_OBJECT
  public:
    explicit ExportFileStep(QWidget* parent = nullptr);

    void showChoice(const ImportChoice& choice);
    ImportChoice choice() const;

    // The open-file dialog; tests replace it. Gets the current path, returns the chosen one
    // (empty when cancelled).
    void setFileChooser(std::function<QString(const QString&)> chooser) { chooser_ = std::move(chooser); }

  signals:
    void continueRequested();
    void quitRequested();
    void chartRequested();

  private:
    void browse();

    QLineEdit* file_ = nullptr;
    QComboBox* format_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPushButton* chart_ = nullptr;
    QPushButton* continue_ = nullptr;
    QPushButton* quit_ = nullptr;
    std::function<QString(const QString&)> chooser_;
};

}  // namespace qvx::gui
