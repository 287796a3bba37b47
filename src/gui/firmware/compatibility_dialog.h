#pragma once
// "Warning - incompatible firmware/software...": shown when the sensor's firmware differs from the
// built-in bundle. The user uploads (only when the check planned something), continues without
// uploading, or leaves the program; "View Details" shows the field-by-field comparison.

#include <QDialog>

#include "firmware/compatibility.h"

class QKeyEvent;
class QLabel;
class QPushButton;
class QTableWidget;
class QWidget;

namespace qvx::gui {

class CompatibilityDialog : public QDialog {
    Q_OBJECT
  public:
    // The dialog's result is the check's outcome: kUpload, kContinue or kExit (also on close).
    explicit CompatibilityDialog(const CompatibilityState& state, QWidget* parent = nullptr);

    // Shows the dialog modally and returns the outcome.
    static int Choose(const CompatibilityState& state, QWidget* parent = nullptr);

  public slots:
    // Closing the window leaves the program (after the closing sequence, which the caller runs).
    void reject() override;

  protected:
    // Esc continues without uploading: a key pressed to get rid of the window must not end
    // the program.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QWidget* buildDetails(const CompatibilityState& state);
    void toggleDetails();
    void updateWidgets();

    bool upload_possible_ = false;
    bool details_visible_ = false;
    QPushButton* upload_button_ = nullptr;
    QPushButton* continue_button_ = nullptr;
    QPushButton* exit_button_ = nullptr;
    QPushButton* details_button_ = nullptr;
    QWidget* details_ = nullptr;
    QTableWidget* table_ = nullptr;
};

}  // namespace qvx::gui
