#include "live/log_viewer_window.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "platform/editor_launch.h"

namespace qvx::gui {

LogViewerWindow::LogViewerWindow(const QString& path, QWidget* parent) : QDialog(parent), path_(path) {
    setObjectName("logViewerWindow");
    setWindowTitle(path);
    setAttribute(Qt::WA_DeleteOnClose);
    heading_ = new QLabel;
    heading_->setWordWrap(true);
    text_ = new QPlainTextEdit;
    text_->setObjectName("logText");
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QPushButton* reload_button = buttons->addButton("&Reload", QDialogButtonBox::ActionRole);
    connect(reload_button, &QPushButton::clicked, this, &LogViewerWindow::reload);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addWidget(text_, 1);
    layout->addWidget(buttons);
    resize(760, 480);
    reload();
}

QString LogViewerWindow::shownText() const {
    return text_->toPlainText();
}

void LogViewerWindow::reload() {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) {
        heading_->setText(QString("%1 could not be read: %2").arg(path_, file.errorString()));
        text_->clear();
        return;
    }
    const qint64 size = file.size();
    const bool cut = size > kShownBytes;
    if (cut)
        file.seek(size - kShownBytes);
    text_->setPlainText(QString::fromLatin1(file.readAll()));
    heading_->setText(
        cut ? QString("No text editor could be started; the last 4 MB of %1 (read-only):").arg(path_)
            : QString("No text editor could be started; %1 (read-only):").arg(path_));
    text_->verticalScrollBar()->setValue(text_->verticalScrollBar()->maximum());
}

EditorLauncher editorOrViewer(QWidget* parent) {
    QPointer<QWidget> owner(parent);
    return [owner](const std::string& path) {
        if (LaunchTextEditor(path))
            return true;
        auto* viewer = new LogViewerWindow(QString::fromStdString(path), owner);
        viewer->show();
        return true;
    };
}

}  // namespace qvx::gui
