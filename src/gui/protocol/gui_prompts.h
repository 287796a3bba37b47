#pragma once
// The desktop program's answers to UserPrompts: the communication-error dialog, the "Error..."
// message box and two-answer questions. Worker threads may call it: the question is handed to
// the user-interface thread and the worker waits for the answer, never touching a widget.
// Called on the user-interface thread it shows the dialog directly.

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "link/connection_state.h"
#include "protocol/busy_cursor.h"
#include "protocol/user_prompts.h"

namespace qvx::gui {

// The question a caption asks when the text does not ask it ("Do you want to retry?"); empty
// when the text asks it itself or the caption asks nothing.
QString QuestionOfCaption(const QString& caption, const QString& text);

class GuiPrompts : public QObject, public UserPrompts {
    Q_OBJECT
  public:
    // Create on the user-interface thread. Dialogs are centred on dialog_parent, or on the
    // active window when it is null.
    explicit GuiPrompts(ConnectionState& state, QWidget* dialog_parent = nullptr);
    void setDialogParent(QWidget* parent) { dialog_parent_ = parent; }

    TransactionResult CommunicationError(const CommunicationErrorReport& report) override;
    bool Message(const MessageRequest& request) override;
    bool Ask(const std::string& caption, const std::string& text, const std::string& yes_label = "Yes",
             const std::string& no_label = "No") override;

  private:
    template <typename Result, typename Function>
    Result onUiThread(Function&& ask);
    QWidget* dialogParent() const;

    ConnectionState& state_;
    QPointer<QWidget> dialog_parent_;
    BusyCursor busy_cursor_;
};

}  // namespace qvx::gui
