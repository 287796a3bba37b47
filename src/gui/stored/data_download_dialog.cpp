#include "stored/data_download_dialog.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <thread>

#include "app/palette_colours.h"
#include "context/app_context.h"
#include "platform/editor_launch.h"

namespace qvx::gui {

namespace {

void RealSleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

QString formatDuration(double seconds) {
    const long total = static_cast<long>(seconds + 0.5);
    return QString("%1:%2:%3")
        .arg(total / 3600)
        .arg(total / 60 % 60, 2, 10, QChar('0'))
        .arg(total % 60, 2, 10, QChar('0'));
}

DataDownloadDialog::DataDownloadDialog(AppContext& context, DownloadJob& job, QString path, QWidget* parent)
    : QDialog(parent),
      context_(context),
      job_(job),
      path_(std::move(path)),
      sleep_(RealSleep),
      launch_editor_(LaunchTextEditor) {
    setObjectName("DataDownloadDialog");
    setWindowTitle("Data Download");
    buildWidgets();
    timer_.setInterval(kRefreshMs);
    connect(&timer_, &QTimer::timeout, this, &DataDownloadDialog::refresh);
    updateWidgets();
}

DataDownloadDialog::~DataDownloadDialog() {
    job_.RequestStop();
}

void DataDownloadDialog::buildWidgets() {
    auto* layout = new QVBoxLayout(this);
    target_ = new QLabel(this);
    target_->setObjectName("targetLabel");
    target_->setMinimumWidth(460);
    layout->addWidget(target_);
    count_ = new QLabel("Packets downloaded:  0", this);
    count_->setObjectName("countLabel");
    QFont big = count_->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    count_->setFont(big);
    layout->addWidget(count_);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    layout->addWidget(bar_);
    rate_ = new QLabel(this);
    rate_->setObjectName("rateLabel");
    layout->addWidget(rate_);
    outcome_ = new QLabel(this);
    outcome_->setObjectName("outcomeLabel");
    outcome_->setWordWrap(true);
    layout->addWidget(outcome_);
    view_file_ = new QCheckBox("View data file when this window is closed", this);
    view_file_->setObjectName("viewFileBox");
    layout->addWidget(view_file_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    stop_ = new QPushButton("&Stop", this);
    stop_->setObjectName("stopButton");
    stop_->setToolTip("Stop the download; you are asked whether to save what came");
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("okButton");
    buttons->addWidget(stop_);
    buttons->addWidget(ok_);
    layout->addLayout(buttons);
    connect(stop_, &QPushButton::clicked, this, [this] {
        job_.RequestStop();
        updateWidgets();
    });
    connect(ok_, &QPushButton::clicked, this, &DataDownloadDialog::closeAndView);
}

int DataDownloadDialog::exec() {
    clock_.start();
    target_->setText("Connecting to the sensor...");
    const std::string path = path_.toStdString();
    work_.start([this, path] {
        StartDownloadHooks hooks;
        hooks.sleep = sleep_;
        hooks.started = [this](const std::string& text) {
            // Written by the worker, shown by the timer.
            QMetaObject::invokeMethod(this, [this, text] { started_text_ = QString::fromStdString(text); });
        };
        StartDownload(context_, job_, path, hooks);
    });
    timer_.start();
    return QDialog::exec();
}

// Closing the window while the worker runs is the stop button; it closes when the worker ends.
void DataDownloadDialog::reject() {
    if (!finished_) {
        job_.RequestStop();
        updateWidgets();
        return;
    }
    closeAndView();
}

void DataDownloadDialog::refresh() {
    if (!started_text_.isEmpty() && target_->toolTip().isEmpty()) {
        // The file's name fits the window; the whole path is in the tooltip.
        const QString name = QFileInfo(path_).fileName();
        target_->setText(QString(started_text_).replace(path_, name));
        target_->setToolTip(started_text_);
    }
    const int done = job_.packets_downloaded.load();
    const int expected = job_.expected_records.load();
    count_->setText(QString("Packets downloaded:  %1").arg(done));
    const double seconds = clock_.elapsed() / 1000.0;
    const double rate = seconds > 0.0 ? done / seconds : 0.0;
    QString text = QString("%1 records per second").arg(rate, 0, 'f', 1);
    if (expected > done && rate > 0.0) {
        text += QString("   -   about %1 left").arg(formatDuration((expected - done) / rate));
    }
    rate_->setText(text);
    if (expected > 0) {
        bar_->setValue(std::min(100, done * 100 / expected));
    }
    updateWidgets();
    if (work_.collect()) {
        timer_.stop();
        showOutcome();
    }
}

void DataDownloadDialog::showOutcome() {
    finished_ = true;
    const int status = job_.status.load();
    if (status == download_status::kStoppedNotSaved) {
        done(QDialog::Rejected);
        return;
    }
    const std::string text = DownloadOutcomeText(status, job_.packets_downloaded.load());
    if (text.empty()) {
        outcome_->setText(job_.failure_text.empty() ? QString("The download failed.")
                                                    : QString::fromStdString(job_.failure_text));
        ColourText(outcome_, TextMeaning::Error);
    } else {
        outcome_->setText(QString::fromStdString(text));
    }
    if (DownloadSaved(status)) {
        bar_->setValue(100);
    }
    updateWidgets();
    adjustSize();
    ok_->setFocus();
}

void DataDownloadDialog::updateWidgets() {
    stop_->setEnabled(!finished_ && job_.status.load() == download_status::kRunning);
    ok_->setEnabled(finished_);
    ok_->setDefault(finished_);
    bar_->setVisible(job_.expected_records.load() > 0 || finished_);
}

void DataDownloadDialog::closeAndView() {
    if (view_file_->isChecked() && DownloadSaved(job_.status.load())) {
        launch_editor_(path_.toStdString());
    }
    done(DownloadSaved(job_.status.load()) ? QDialog::Accepted : QDialog::Rejected);
}

}  // namespace qvx::gui
