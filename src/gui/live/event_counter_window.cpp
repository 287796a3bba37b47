#include "live/event_counter_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>

#include "live/event_view_icons.h"

namespace qvx::gui {

namespace {

constexpr int kLabelLeft = 14;
constexpr int kLabelWidth = 60;
constexpr int kFieldLeft = 80;
constexpr int kFieldWidth = 100;
constexpr int kRowHeight = 26;
constexpr int kButtonHeight = 28;

}  // namespace

EventCounterWindow::EventCounterWindow(LaneStatistics& statistics, int lanes, QWidget* parent)
    : QDialog(parent), statistics_(statistics) {
    setObjectName(QStringLiteral("EventCounterWindow"));
    setWindowTitle(QStringLiteral("Event Counter"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    buildWidgets();
    setLaneCount(lanes);
}

void EventCounterWindow::buildWidgets() {
    const QFont fixed = QFont(QStringLiteral("monospace"));
    for (std::size_t k = 0; k < kCounterLanes; ++k) {
        labels_[k] = new QLabel(QStringLiteral("Lane %1").arg(k + 1), this);
        counts_[k] = new QLineEdit(QStringLiteral("0"), this);
        counts_[k]->setReadOnly(true);
        counts_[k]->setAlignment(Qt::AlignRight);
        counts_[k]->setFocusPolicy(Qt::NoFocus);
        counts_[k]->setObjectName(QStringLiteral("count%1").arg(k + 1));
    }
    reset_ = new QPushButton(QStringLiteral("Reset"), this);
    reset_->setObjectName("resetButton");
    reset_->setToolTip(QStringLiteral("Press to return counter to zero"));
    pause_ = new QToolButton(this);
    pause_->setObjectName("pauseButton");
    pause_->setIcon(pauseCounterIcon());
    pause_->setToolTip(QStringLiteral("Press to pause counter"));
    pause_->setCheckable(true);
    resume_ = new QToolButton(this);
    resume_->setObjectName("resumeButton");
    resume_->setIcon(resumeCounterIcon());
    resume_->setToolTip(QStringLiteral("Press to resume counter"));
    resume_->setCheckable(true);
    connect(reset_, &QPushButton::clicked, this, &EventCounterWindow::reset);
    connect(pause_, &QToolButton::clicked, this, &EventCounterWindow::pause);
    connect(resume_, &QToolButton::clicked, this, &EventCounterWindow::resume);
    reset_->setShortcut(QKeySequence(Qt::Key_R));
    pause_->setShortcut(QKeySequence(Qt::Key_P));
    resume_->setShortcut(QKeySequence(Qt::Key_S));
}

void EventCounterWindow::setLaneCount(int lanes) {
    lanes_ = std::clamp(lanes, 0, static_cast<int>(kCounterLanes));
    // The highest lane at the top row, lane 1 at the lowest row used.
    for (int lane = 1; lane <= static_cast<int>(kCounterLanes); ++lane) {
        const auto k = static_cast<std::size_t>(lane - 1);
        const bool shown = lane <= lanes_;
        labels_[k]->setVisible(shown);
        counts_[k]->setVisible(shown);
        if (!shown) {
            continue;
        }
        const int top = kRowTops[static_cast<std::size_t>(lanes_ - lane)];
        labels_[k]->setGeometry(kLabelLeft, top, kLabelWidth, kRowHeight);
        counts_[k]->setGeometry(kFieldLeft, top, kFieldWidth, kRowHeight);
    }
    const int buttons_top = lanes_ > 0 ? kRowTops[static_cast<std::size_t>(lanes_ - 1)] + kButtonsBelowLaneOne
                                       : kButtonsBelowLaneOne;
    reset_->setGeometry(kLabelLeft, buttons_top, 70, kButtonHeight);
    pause_->setGeometry(kFieldLeft + kFieldWidth - 2 * kButtonHeight - 4, buttons_top, kButtonHeight,
                        kButtonHeight);
    resume_->setGeometry(kFieldLeft + kFieldWidth - kButtonHeight, buttons_top, kButtonHeight, kButtonHeight);
    setFixedSize(kWidth, kWindowHeights[static_cast<std::size_t>(lanes_)] - kFrameHeight);
    refresh();
}

void EventCounterWindow::refresh() {
    const LaneCounts counts = statistics_.TakeCounts();
    for (std::size_t k = 0; k < kCounterLanes; ++k) {
        const QString text = QString::number(counts[k]);
        if (counts_[k]->text() != text) {
            counts_[k]->setText(text);
        }
    }
    updateWidgets();
}

void EventCounterWindow::reset() {
    statistics_.Reset();
    refresh();
}

void EventCounterWindow::pause() {
    statistics_.Pause();
    updateWidgets();
}

void EventCounterWindow::resume() {
    statistics_.Resume();
    updateWidgets();
}

void EventCounterWindow::updateWidgets() {
    const bool counting = statistics_.counting_enabled();
    pause_->setChecked(!counting);
    resume_->setChecked(counting);
}

QLineEdit* EventCounterWindow::countField(int lane) const {
    return counts_.at(static_cast<std::size_t>(lane - 1));
}

QLabel* EventCounterWindow::laneLabel(int lane) const {
    return labels_.at(static_cast<std::size_t>(lane - 1));
}

}  // namespace qvx::gui
