#include "app/platform_notices.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>

#include "platform/instance.h"
#include "platform/registry_store.h"

namespace qvx::gui {

namespace {

constexpr const char* kNoticeCaption = "Warning";

void ShowNotice(const QString& text) {
    QMessageBox::warning(QApplication::activeWindow(), kNoticeCaption, text);
}

}  // namespace

void InstallPlatformNotices() {
    SetRegistryNoticeHandler([](const std::string& message) {
        const QString text = QString::fromStdString(message);
        // Queued: the registry may be written from a worker, and a box must not open inside
        // the write that raised it.
        QMetaObject::invokeMethod(
            qApp, [text] { ShowNotice(text); }, Qt::QueuedConnection);
    });
}

void ShowStartupNotices(QWidget* parent) {
    const std::string notice = RuntimeDirectoryNotice();
    if (notice.empty()) {
        return;
    }
    QPointer<QWidget> owner(parent);
    const QString text = QString::fromStdString(notice);
    QMetaObject::invokeMethod(
        qApp, [owner, text] { QMessageBox::warning(owner, kNoticeCaption, text); }, Qt::QueuedConnection);
}

}  // namespace qvx::gui
