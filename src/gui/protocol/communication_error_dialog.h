#pragma once
// "Communication error...": asks the user what to do after an exchange with the sensor failed
// for good. The answer is a TransactionResult: Retry 123, Ignore 120, Cancel 121 (also closing
// the window), Exit 122. The details part lets the user raise the additional response wait,
// which takes effect at once so that a Retry already uses it.

#include <QDialog>

#include "link/connection_state.h"
#include "protocol/user_prompts.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace qvx::gui {

class CommunicationErrorDialog : public QDialog {
    Q_OBJECT
  public:
    CommunicationErrorDialog(const CommunicationErrorReport& report, ConnectionState& state,
                             QWidget* parent = nullptr);

    // Shows the dialog modally and returns the answer.
    TransactionResult run();

    void reject() override;

  private:
    void buildWidgets(const CommunicationErrorReport& report);
    QWidget* buildDetailsPanel(const CommunicationErrorReport& report);
    void updateWidgets();
    void toggleDetails();
    void takeResponseWait(const QString& text);
    void finishWith(TransactionResult result);

    ConnectionState& state_;
    bool details_shown_ = false;

    QLabel* error_label_ = nullptr;
    QPushButton* details_button_ = nullptr;
    QWidget* details_panel_ = nullptr;
    QPlainTextEdit* details_text_ = nullptr;
    QLineEdit* wait_field_ = nullptr;
};

}  // namespace qvx::gui
