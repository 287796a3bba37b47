#pragma once
// "Hyperterminal": raw text or raw bytes typed to the sensor over the open link and what comes
// back, in a monospace console with scroll-back and copy. Three modes: each character sent as it
// is typed, a line sent on Enter, or binary lines of hexadecimal digit pairs.

#include <QTimer>

#include "app/working_view.h"
#include "tools/terminal_session.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace qvx {
class AppContext;
}

namespace qvx::gui {

class TerminalView : public WorkingView {
    Q_OBJECT
  public:
    explicit TerminalView(AppContext& app, QWidget* parent = nullptr);
    ~TerminalView() override;
    ViewCode viewCode() const override { return ViewCode::Terminal; }
    bool shutdown() override;

    TerminalSession& session() { return session_; }

  private:
    void edited(const QString& text);
    void entered();
    void chooseTextMode(TerminalMode mode);
    void binaryToggled(bool on);
    void showNewText();
    void updateWidgets();

    TerminalSession session_;
    QTimer display_timer_;
    QString previous_text_;
    bool stopped_ = false;

    QLineEdit* command_line_ = nullptr;
    QPlainTextEdit* output_ = nullptr;
    QRadioButton* character_ = nullptr;
    QRadioButton* line_ = nullptr;
    QCheckBox* binary_ = nullptr;
};

}  // namespace qvx::gui
