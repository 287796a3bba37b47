#include "stored/study_setup_view.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "app/palette_colours.h"
#include "base/busy_flag.h"
#include "context/app_context.h"
#include "protocol/busy_cursor.h"
#include "stored/buffer_status.h"
#include "stored/buffer_status_dialog.h"

namespace qvx::gui {

namespace {

constexpr int kPollMs = 20;
const char* const kStepTexts[4] = {"(a) Enable Flash Storage", "(b) Save Sensor Settings",
                                   "(c) Synchronize Sensor Date && Time",
                                   "(d) Erase Stored Data (SRAM && Flash)"};

}  // namespace

StudySetupView::StudySetupView(AppContext& context, SensorOperations& operations, QWidget* parent)
    : WorkingView(parent), context_(context), operations_(operations) {
    setObjectName("StudySetupView");
    buildWidgets();
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &StudySetupView::pollWork);
    link_open_ = context_.state.link_kind != LinkKind::None;
    if (link_open_) {
        startOpening();
    } else {
        setStatus(kNotConnectedText);
    }
    updateWidgets();
}

StudySetupView::~StudySetupView() {
    shutdown();
}

bool StudySetupView::shutdown() {
    while (work_.running() && !work_.collect()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, kPollMs);
    }
    poll_.stop();
    return true;
}

void StudySetupView::buildWidgets() {
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(kStudyIntroText, this);
    QFont font = intro->font();
    font.setBold(true);
    intro->setFont(font);
    layout->addWidget(intro);
    layout->addWidget(buildStepOne());
    layout->addWidget(buildStepTwo());
    status_ = new QLabel(this);
    status_->setObjectName("statusLabel");
    status_->setWordWrap(true);
    layout->addWidget(status_);
    layout->addStretch(1);
}

QWidget* StudySetupView::buildStepOne() {
    auto* box = new QGroupBox("Step 1: Configure Data Storage", this);
    auto* grid = new QGridLayout(box);
    interval_ = new QLineEdit(box);
    interval_->setObjectName("intervalField");
    interval_->setMaxLength(9);
    interval_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,9}"), interval_));
    interval_->setText("60");
    grid->addWidget(new QLabel("(a) Interval (Bin) Size:", box), 0, 0);
    grid->addWidget(interval_, 0, 1);
    grid->addWidget(new QLabel("(seconds)", box), 0, 2);
    overwrite_ = new QCheckBox("Enabled", box);
    overwrite_->setObjectName("overwriteBox");
    grid->addWidget(new QLabel("(b) Memory Overwrite:", box), 1, 0);
    grid->addWidget(overwrite_, 1, 1, 1, 2);
    storage_time_ = new QLabel(box);
    storage_time_->setObjectName("storageTimeLabel");
    grid->addWidget(new QLabel("(c) Flash Storage Time:", box), 2, 0);
    grid->addWidget(storage_time_, 2, 1, 1, 2);
    grid->setColumnStretch(3, 1);
    connect(interval_, &QLineEdit::textEdited, this, &StudySetupView::onIntervalEdited);
    connect(overwrite_, &QCheckBox::toggled, this, &StudySetupView::onOverwriteToggled);
    onIntervalEdited(interval_->text());
    return box;
}

QWidget* StudySetupView::buildStepTwo() {
    auto* box = new QGroupBox("Step 2: Configure the Sensor", this);
    auto* layout = new QVBoxLayout(box);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Press <Start> to automatically configure the sensor and begin the study", box),
                   1);
    start_ = new QPushButton("&Start", box);
    start_->setObjectName("startButton");
    storage_ = new QPushButton("S&torage", box);
    storage_->setObjectName("storageButton");
    storage_->setToolTip("View the data buffer status");
    row->addWidget(start_);
    row->addWidget(storage_);
    layout->addLayout(row);
    for (std::size_t i = 0; i < steps_.size(); ++i) {
        steps_[i] = new QLabel(QString(kStepTexts[i]).replace("&&", "&"), box);
        layout->addWidget(steps_[i]);
    }
    update_every_ = new QLabel(box);
    update_every_->setObjectName("updateEveryLabel");
    layout->addWidget(update_every_);
    connect(start_, &QPushButton::clicked, this, &StudySetupView::startStudy);
    connect(storage_, &QPushButton::clicked, this, &StudySetupView::showStorage);
    return box;
}

void StudySetupView::startOpening() {
    setStatus("Reading the sensor's configuration...");
    auto read = std::make_shared<StudySetup>();
    auto ok = std::make_shared<bool>(false);
    work_done_ = [this, read, ok] {
        opened_ = *ok;
        if (!*ok) {
            setStatus("The sensor's configuration could not be read.");
            return;
        }
        setup_ = *read;
        interval_->setText(QString::number(setup_.interval));
        overwrite_->setChecked((setup_.storage_flags & storage_flag::kOverwrite) != 0);
        onIntervalEdited(interval_->text());
        setStatus(kStudyReadyText);
    };
    work_.start([this, read, ok] { *ok = ReadStudySetup(context_, *read); });
    poll_.start();
}

void StudySetupView::onIntervalEdited(const QString& text) {
    const auto arithmetic = ComputeStudyArithmetic(text.toStdString(), overwrite_->isChecked());
    if (!arithmetic) {
        return;
    }
    if (arithmetic->clamped) {
        interval_->setText("999999999");
    }
    setup_.interval = arithmetic->interval;
    setup_.flash_update_seconds = arithmetic->flash_update_seconds;
    storage_time_->setText(QString::fromStdString(arithmetic->storage_text));
}

void StudySetupView::onOverwriteToggled(bool on) {
    setup_.storage_flags = on ? setup_.storage_flags | storage_flag::kOverwrite
                              : setup_.storage_flags & ~storage_flag::kOverwrite;
    onIntervalEdited(interval_->text());
}

void StudySetupView::startStudy() {
    if (work_.running()) {
        return;
    }
    // An empty field or one starting with 0 was not evaluated: it counts as below the minimum.
    const bool evaluated = ComputeStudyArithmetic(interval_->text().toStdString(), false).has_value();
    StudySetup setup = setup_;
    if (!evaluated) {
        setup.interval = 0;
    }
    for (QLabel* step : steps_) {
        ColourText(step, TextMeaning::Plain);
    }
    update_every_->clear();
    auto outcome = std::make_shared<StudyOutcome>(StudyOutcome::NotStarted);
    work_done_ = [this, outcome] {
        outcome_ = *outcome;
        if (outcome_ == StudyOutcome::Started) {
            showStorage();
        }
    };
    busy_flag::Set();
    BusyCursor::sync();
    work_.start([this, setup, outcome] {
        StudyProgress progress;
        progress.status = [this](const std::string& text) {
            QMetaObject::invokeMethod(this, [this, text] { setStatus(QString::fromStdString(text)); });
        };
        progress.flash_update_shown = [this](std::uint32_t seconds) {
            QMetaObject::invokeMethod(this, [this, seconds] {
                update_every_->setText(QString("(Update Every: %1 seconds)").arg(seconds));
            });
        };
        *outcome = StartStudy(context_, operations_, setup, progress);
    });
    poll_.start();
    updateWidgets();
}

void StudySetupView::setStatus(const QString& text) {
    status_->setText(text);
    // "Step 2b in process..." ticks the steps before it.
    static const QRegularExpression step("^Step 2([a-d]) in process");
    const QRegularExpressionMatch match = step.match(text);
    if (match.hasMatch()) {
        const int current = match.captured(1).at(0).unicode() - 'a';
        for (int i = 0; i < static_cast<int>(steps_.size()); ++i) {
            ColourText(steps_[static_cast<std::size_t>(i)],
                       i < current ? TextMeaning::Success : TextMeaning::Plain,
                       i == current ? "font-weight: bold;" : "");
        }
    } else if (text.startsWith("Step 2 completed")) {
        for (QLabel* label : steps_) {
            ColourText(label, TextMeaning::Success);
        }
    } else if (text.contains("failed")) {
        ColourText(status_, TextMeaning::Error);
        return;
    }
    ColourText(status_, TextMeaning::Plain);
}

void StudySetupView::pollWork() {
    if (!work_.collect()) {
        return;
    }
    poll_.stop();
    busy_flag::Clear();
    BusyCursor::sync();
    if (auto done = std::move(work_done_)) {
        done();
    }
    updateWidgets();
}

void StudySetupView::showStorage() {
    if (!BufferStatusDialog::confirmOpening(context_)) {
        return;
    }
    BufferStatusDialog dialog(context_, this);
    if (status_hook_) {
        status_hook_(dialog);
    }
    dialog.exec();
}

void StudySetupView::updateWidgets() {
    const bool ready = link_open_ && opened_ && !work_.running();
    interval_->setEnabled(ready);
    overwrite_->setEnabled(ready);
    start_->setEnabled(ready);
    storage_->setEnabled(ready);
}

}  // namespace qvx::gui
