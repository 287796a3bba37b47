#pragma once
// "Error...": the program's general message box. A text, a caption, an icon kind, an OK and a
// Cancel button that can each be hidden or renamed, and an optional time after which it closes
// by itself answering OK (the wait cursor shows meanwhile, the program being busy).

#include <QDialog>
#include <QTimer>

#include "protocol/user_prompts.h"

class QPushButton;

namespace qvx::gui {

class ErrorDialog : public QDialog {
    Q_OBJECT
  public:
    explicit ErrorDialog(const MessageRequest& request, QWidget* parent = nullptr);

    // Shows the dialog modally; true for OK.
    bool run();

    void done(int result) override;
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void buildWidgets(const MessageRequest& request);
    void updateWidgets();

    bool show_ok_;
    bool show_cancel_;
    int auto_close_ms_;
    bool wait_cursor_shown_ = false;
    QTimer auto_close_timer_;
    QPushButton* ok_button_ = nullptr;
    QPushButton* cancel_button_ = nullptr;
};

}  // namespace qvx::gui
