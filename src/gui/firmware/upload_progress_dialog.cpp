#include "firmware/upload_progress_dialog.h"

#include <QDateTime>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace qvx::gui {

namespace {
constexpr int kPollMs = 100;
constexpr int kFiguresMs = 1030;             // the percentage and rate are refreshed this often
constexpr int kCompatibilityCloseMs = 1500;  // a successful compatibility upload closes by itself

QString TimeText(int seconds) {
    return QString("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0'));
}

QString DialogText(const std::string& text) {
    // The sensor-side texts carry CR LF; a label wants LF.
    return QString::fromStdString(text).replace("\r\n", "\n").replace('\r', '\n');
}
}  // namespace

UploadProgressDialog::UploadProgressDialog(UploadJob& job, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), job_(job), prompts_(prompts) {
    const bool file = job.mode() == UploadMode::File;
    setWindowTitle(file ? upload_text::kWindowTitle : upload_text::kCompatWindowTitle);
    setModal(true);

    status_ = new QLabel;
    status_->setObjectName("status");
    status_->setWordWrap(true);
    status_->setMinimumSize(380, 48);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    bar_ = new QProgressBar;
    bar_->setRange(0, 100);
    bar_->setValue(0);
    rate_ = new QLabel("-");
    rate_->setObjectName("rate");
    time_left_ = new QLabel("-");
    time_left_->setObjectName("timeLeft");
    button_ = new QPushButton("Cancel");
    button_->setObjectName("cancel");
    connect(button_, &QPushButton::clicked, this, &UploadProgressDialog::cancelOrClose);

    image_ = new QLabel;
    auto* figures = new QGridLayout;
    figures->addWidget(new QLabel("Image:"), 0, 0);
    figures->addWidget(image_, 0, 1);
    figures->addWidget(new QLabel("Rate:"), 1, 0);
    figures->addWidget(rate_, 1, 1);
    figures->addWidget(new QLabel("Time left:"), 2, 0);
    figures->addWidget(time_left_, 2, 1);
    figures->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(bar_);
    layout->addLayout(figures);
    layout->addWidget(button_, 0, Qt::AlignRight);

    connect(&poll_timer_, &QTimer::timeout, this, &UploadProgressDialog::poll);
    start();
}

UploadProgressDialog::~UploadProgressDialog() {
    // The window never closes while the job runs; should it be destroyed anyway, stop the job
    // before the worker is joined.
    if (task_.running() && !task_.done()) {
        job_.RequestCancel();
    }
}

UploadOutcome UploadProgressDialog::Run(UploadJob& job, UserPrompts& prompts, QWidget* parent) {
    UploadProgressDialog dialog(job, prompts, parent);
    dialog.exec();
    return dialog.outcome().value_or(UploadOutcome::Cancelled);
}

void UploadProgressDialog::start() {
    task_.start([this] { outcome_ = job_.Run(); });
    poll_timer_.start(kPollMs);
    poll();
}

void UploadProgressDialog::poll() {
    const UploadSnapshot snapshot = job_.Snapshot();
    // While packets go out the line follows the figures' cadence.
    if (snapshot.step != UploadStep::Packets || snapshot.cancel_requested || last_figures_ms_ < 0) {
        status_->setText(DialogText(snapshot.text));
    }
    showFigures(snapshot);
    updateWidgets(snapshot);
    if (task_.collect()) {
        poll_timer_.stop();
        updateWidgets(job_.Snapshot());
        if (job_.mode() == UploadMode::Compatibility && outcome_ == UploadOutcome::Succeeded) {
            QTimer::singleShot(kCompatibilityCloseMs, this, &QDialog::accept);
        }
    }
}

// The percentage, rate and time left change every 1030 ms, and only when more was sent.
void UploadProgressDialog::showFigures(const UploadSnapshot& snapshot) {
    image_->setText(
        QString("%1 (%2)").arg(QString::fromStdString(snapshot.name), ImageKindName(snapshot.kind)));
    if (snapshot.step != UploadStep::Packets) {
        const bool sent = snapshot.step == UploadStep::Result || snapshot.step == UploadStep::Restart ||
                          snapshot.step == UploadStep::Countdown;
        if (sent || snapshot.outcome == UploadOutcome::Succeeded) {
            bar_->setValue(100);
            time_left_->setText(TimeText(0));
        }
        return;
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (last_figures_ms_ >= 0 &&
        (now - last_figures_ms_ < kFiguresMs || snapshot.digits_sent == digits_at_last_figures_)) {
        return;
    }
    last_figures_ms_ = now;
    digits_at_last_figures_ = snapshot.digits_sent;
    const UploadFigures figures = FiguresOf(snapshot);
    bar_->setValue(figures.percent);
    if (!snapshot.cancel_requested) {
        status_->setText(DialogText(PacketProgressText(job_.mode(), snapshot)));
    }
    rate_->setText(QString("%L1 bytes/s").arg(static_cast<qlonglong>(figures.bytes_per_second + 0.5)));
    time_left_->setText(figures.seconds_left ? TimeText(*figures.seconds_left) : QString("-"));
}

void UploadProgressDialog::updateWidgets(const UploadSnapshot& snapshot) {
    if (snapshot.finished && !task_.running()) {
        button_->setText("Close");
        button_->setEnabled(true);
        button_->setDefault(true);
        return;
    }
    button_->setText("Cancel");
    button_->setEnabled(snapshot.cancel_possible && snapshot.step != UploadStep::Cancelling);
}

void UploadProgressDialog::cancelOrClose() {
    if (!task_.running()) {
        accept();
        return;
    }
    button_->setEnabled(false);
    CancelUploadJob(job_, prompts_);
    poll();
}

// Escape and the window's close box act as Cancel while the job runs.
void UploadProgressDialog::reject() {
    if (!task_.running()) {
        QDialog::reject();
        return;
    }
    if (job_.Snapshot().cancel_possible) {
        cancelOrClose();
    }
}

QString UploadProgressDialog::statusText() const {
    return status_->text();
}
QString UploadProgressDialog::rateText() const {
    return rate_->text();
}
QString UploadProgressDialog::timeLeftText() const {
    return time_left_->text();
}
int UploadProgressDialog::percent() const {
    return bar_->value();
}

}  // namespace qvx::gui
