#include "protocol/gui_prompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

#include "protocol/communication_error_dialog.h"
#include "protocol/error_dialog.h"

namespace qvx::gui {

GuiPrompts::GuiPrompts(ConnectionState& state, QWidget* dialog_parent)
    : state_(state), dialog_parent_(dialog_parent) {}

// The worker blocks until the user-interface thread has run the dialog; that thread must
// therefore never wait for a worker that may be asking.
template <typename Result, typename Function>
Result GuiPrompts::onUiThread(Function&& ask) {
    if (QThread::currentThread() == thread())
        return ask();
    Result answer{};
    QMetaObject::invokeMethod(
        this, [&answer, &ask] { answer = ask(); }, Qt::BlockingQueuedConnection);
    return answer;
}

// Over the dialog in front when there is one, else over the main window: a box is always a
// child centred on what the user looks at.
QWidget* GuiPrompts::dialogParent() const {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return dialog_parent_ ? dialog_parent_.data() : QApplication::activeWindow();
}

QString QuestionOfCaption(const QString& caption, const QString& text) {
    if (!caption.endsWith('?') || text.trimmed().endsWith('?'))
        return {};
    const qsizetype colon = caption.lastIndexOf(": ");
    return colon < 0 ? caption : caption.mid(colon + 2);
}

TransactionResult GuiPrompts::CommunicationError(const CommunicationErrorReport& report) {
    return onUiThread<TransactionResult>([&] {
        CommunicationErrorDialog dialog(report, state_, dialogParent());
        return dialog.run();
    });
}

bool GuiPrompts::Message(const MessageRequest& request) {
    return onUiThread<bool>([&] {
        ErrorDialog dialog(request, dialogParent());
        return dialog.run();
    });
}

bool GuiPrompts::Ask(const std::string& caption, const std::string& text, const std::string& yes_label,
                     const std::string& no_label) {
    return onUiThread<bool>([&] {
        QMessageBox box(QMessageBox::Question, QString::fromStdString(caption), QString::fromStdString(text),
                        QMessageBox::NoButton, dialogParent());
        QPushButton* yes = box.addButton(QString::fromStdString(yes_label), QMessageBox::AcceptRole);
        QPushButton* no = box.addButton(QString::fromStdString(no_label), QMessageBox::RejectRole);
        box.setInformativeText(QuestionOfCaption(box.windowTitle(), box.text()));
        yes->setObjectName("yesButton");
        no->setObjectName("noButton");
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes;
    });
}

}  // namespace qvx::gui
