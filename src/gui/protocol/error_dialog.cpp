#include "protocol/error_dialog.h"

#include <QCursor>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace qvx::gui {
namespace {

QStyle::StandardPixmap IconFor(IconKind kind) {
    switch (kind) {
        case IconKind::Information:
            return QStyle::SP_MessageBoxInformation;
        case IconKind::Warning:
            return QStyle::SP_MessageBoxWarning;
        case IconKind::Error:
            return QStyle::SP_MessageBoxCritical;
        case IconKind::None:
            break;
    }
    return QStyle::SP_CustomBase;
}

}  // namespace

ErrorDialog::ErrorDialog(const MessageRequest& request, QWidget* parent)
    : QDialog(parent),
      show_ok_(request.show_ok),
      show_cancel_(request.show_cancel),
      auto_close_ms_(request.auto_close_ms) {
    setWindowTitle(request.caption.empty() ? QString("Error...") : QString::fromStdString(request.caption));
    buildWidgets(request);
    auto_close_timer_.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; a message that closes by itself stays its full time.
    auto_close_timer_.setTimerType(Qt::PreciseTimer);
    connect(&auto_close_timer_, &QTimer::timeout, this, &QDialog::accept);
    updateWidgets();
}

void ErrorDialog::buildWidgets(const MessageRequest& request) {
    auto* top = new QHBoxLayout;
    const QStyle::StandardPixmap icon_kind = IconFor(request.icon);
    if (icon_kind != QStyle::SP_CustomBase) {
        auto* icon = new QLabel;
        icon->setObjectName("icon");
        icon->setPixmap(style()->standardIcon(icon_kind).pixmap(32, 32));
        icon->setAlignment(Qt::AlignTop);
        top->addWidget(icon);
        top->addSpacing(10);
    }
    auto* text = new QLabel(QString::fromStdString(request.text).replace("\r\n", "\n"));
    text->setObjectName("messageText");
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setMinimumWidth(260);
    text->setMaximumWidth(520);
    top->addWidget(text, 1);

    ok_button_ = new QPushButton(QString::fromStdString(request.ok_label));
    ok_button_->setObjectName("okButton");
    connect(ok_button_, &QPushButton::clicked, this, &QDialog::accept);
    cancel_button_ = new QPushButton(QString::fromStdString(request.cancel_label));
    cancel_button_->setObjectName("cancelButton");
    connect(cancel_button_, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_button_);
    buttons->addWidget(cancel_button_);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
}

void ErrorDialog::updateWidgets() {
    ok_button_->setVisible(show_ok_);
    cancel_button_->setVisible(show_cancel_);
    ok_button_->setDefault(show_ok_);
    cancel_button_->setDefault(!show_ok_ && show_cancel_);
}

bool ErrorDialog::run() {
    return exec() == QDialog::Accepted;
}

void ErrorDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (auto_close_ms_ > 0 && !auto_close_timer_.isActive() && !wait_cursor_shown_) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        wait_cursor_shown_ = true;
        auto_close_timer_.start(auto_close_ms_);
    }
}

// Without a Cancel button, closing the window is the same as OK, as in any message box.
void ErrorDialog::reject() {
    if (show_cancel_) {
        QDialog::reject();
    } else {
        QDialog::accept();
    }
}

void ErrorDialog::done(int result) {
    auto_close_timer_.stop();
    if (wait_cursor_shown_) {
        QGuiApplication::restoreOverrideCursor();
        wait_cursor_shown_ = false;
    }
    QDialog::done(result);
}

}  // namespace qvx::gui
