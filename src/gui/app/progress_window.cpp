#include "app/progress_window.h"

#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QVBoxLayout>

namespace qvx::gui {

ProgressWindow::ProgressWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("progressWindow");
    setModal(false);
    text_ = new QLabel;
    text_->setObjectName("progressText");
    text_->setMinimumWidth(300);
    text_->setAlignment(Qt::AlignCenter);
    auto* bar = new QProgressBar;
    bar->setRange(0, 0);  // busy indicator: the length of the wait is unknown
    bar->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(12);
    layout->addWidget(text_);
    layout->addWidget(bar);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void ProgressWindow::ShowProgress(const std::string& caption, const std::string& text) {
    const QString qcaption = QString::fromStdString(caption);
    const QString qtext = QString::fromStdString(text);
    if (QThread::currentThread() == thread())
        showOnUiThread(qcaption, qtext);
    else
        QMetaObject::invokeMethod(this, [this, qcaption, qtext] { showOnUiThread(qcaption, qtext); });
}

void ProgressWindow::CloseProgress() {
    if (QThread::currentThread() == thread())
        hide();
    else
        QMetaObject::invokeMethod(this, [this] { hide(); });
}

QString ProgressWindow::text() const {
    return text_->text();
}

void ProgressWindow::showOnUiThread(const QString& caption, const QString& text) {
    setWindowTitle(caption);
    text_->setText(text);
    adjustSize();
    // Centred on the main window every time: the text changes the size between showings.
    if (const QWidget* owner = parentWidget()) {
        QRect frame = frameGeometry();
        frame.moveCenter(owner->frameGeometry().center());
        move(frame.topLeft());
    }
    show();
    raise();
}

}  // namespace qvx::gui
