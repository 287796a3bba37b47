#pragma once
// The frame the Internet and modem connection dialogs share: the prompt on top, the address fields
// with the address book button beside them, the status line, the busy animations, the connection
// properties, and a button row with Advanced on the left and the dialog's own button and Cancel on
// the right.

#include <QString>
#include <vector>

class QDialog;
class QFormLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

namespace qvx::gui {

struct RemoteDialogFrame {
    QLabel* prompt = nullptr;
    QLabel* status = nullptr;
    QLabel* properties = nullptr;
    QPushButton* advanced = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* address_book = nullptr;
};

// The shared widgets, named for the tests; the prompt's line ends are the sensor texts' CR LF.
RemoteDialogFrame MakeRemoteDialogFrame(const QString& prompt, const QString& address_book_text);

// An endless bar shown while the dialog waits on the link; hidden until then.
QProgressBar* BusyAnimation(const QString& name);

// Lays the frame out in the dialog around the dialog's own fields, animations and main button.
void LayOutRemoteDialog(QDialog* dialog, const RemoteDialogFrame& frame, QFormLayout* fields,
                        const std::vector<QWidget*>& animations, QPushButton* main_button);

}  // namespace qvx::gui
