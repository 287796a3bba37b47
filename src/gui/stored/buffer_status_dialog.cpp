#include "stored/buffer_status_dialog.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/busy_flag.h"
#include "context/app_context.h"
#include "protocol/busy_cursor.h"

namespace qvx::gui {

namespace {
constexpr int kPollMs = 20;
}

BufferStatusDialog::BufferStatusDialog(AppContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
    setObjectName("BufferStatusDialog");
    setWindowTitle("View Interval Data Buffer Status");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildBuffer("Flash Memory Buffer", flash_text_, flash_bar_));
    layout->addWidget(buildBuffer("SRAM Buffer", sram_text_, sram_bar_));
    flash_text_->setObjectName("flashLabel");
    flash_bar_->setObjectName("flashBar");
    sram_text_->setObjectName("sramLabel");
    sram_bar_->setObjectName("sramBar");
    status_ = new QLabel(this);
    status_->setObjectName("statusLabel");
    layout->addWidget(status_);
    auto* buttons = new QHBoxLayout;
    refresh_ = new QPushButton("&Refresh", this);
    refresh_->setObjectName("refreshButton");
    close_ = new QPushButton("Close", this);
    close_->setObjectName("closeButton");
    buttons->addStretch(1);
    buttons->addWidget(refresh_);
    buttons->addWidget(close_);
    layout->addLayout(buttons);
    connect(refresh_, &QPushButton::clicked, this, &BufferStatusDialog::startUpdate);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    repeat_.setInterval(kBufferStatusRefreshMs);
    repeat_.setSingleShot(true);
    connect(&repeat_, &QTimer::timeout, this, &BufferStatusDialog::startUpdate);
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &BufferStatusDialog::pollWork);
    setMinimumWidth(380);
    QTimer::singleShot(0, this, &BufferStatusDialog::startUpdate);
    updateWidgets();
}

BufferStatusDialog::~BufferStatusDialog() {
    repeat_.stop();
    poll_.stop();
    // The count ends by itself within its probe limits; the window waits for it, still answering
    // the questions the count may ask.
    while (work_.running() && !work_.collect()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, kPollMs);
    }
    if (poll_count_pending_) {
        busy_flag::Clear();
        BusyCursor::sync();
    }
}

bool BufferStatusDialog::confirmOpening(AppContext& context) {
    if (context.state.connection_type != LinkKind::Internet) {
        return true;
    }
    return context.prompts().Ask(kSlowLinkCaption, kSlowLinkQuestion, "Yes", "No");
}

QWidget* BufferStatusDialog::buildBuffer(const QString& title, QLabel*& text, QProgressBar*& bar) {
    auto* box = new QGroupBox(title, this);
    auto* layout = new QVBoxLayout(box);
    text = new QLabel("-", box);
    bar = new QProgressBar(box);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    layout->addWidget(text);
    layout->addWidget(bar);
    return box;
}

void BufferStatusDialog::startUpdate() {
    if (work_.running()) {
        return;
    }
    repeat_.stop();
    status_->setText(kUpdatingStatusText);
    busy_flag::Set();
    BusyCursor::sync();
    poll_count_pending_ = true;
    work_.start([this] { status_found_ = UpdateBufferStatus(context_); });
    poll_.start();
    updateWidgets();
}

void BufferStatusDialog::pollWork() {
    if (!work_.collect()) {
        return;
    }
    poll_.stop();
    poll_count_pending_ = false;
    busy_flag::Clear();
    BusyCursor::sync();
    ++updates_;
    showStatus();
    repeat_.start();
    updateWidgets();
}

void BufferStatusDialog::showStatus() {
    if (!status_found_.ok) {
        status_->setText(kStatusErrorText);
        return;
    }
    const BufferFill flash = DescribeBufferFill(status_found_.flash_count, kFlashCapacity);
    const BufferFill sram = DescribeBufferFill(status_found_.sram_count, kSramCapacity);
    flash_text_->setText(QString::fromStdString(flash.text));
    flash_bar_->setValue(flash.bar);
    sram_text_->setText(QString::fromStdString(sram.text));
    sram_bar_->setValue(sram.bar);
    status_->setText(kStatusUpdatedText);
}

void BufferStatusDialog::updateWidgets() {
    refresh_->setEnabled(!work_.running());
}

}  // namespace qvx::gui
