#include "tools/memory_histogram.h"

#include <QPainter>
#include <algorithm>

namespace qvx::gui {

namespace {
constexpr int kLeftMargin = 70;
constexpr int kBottomMargin = 24;
constexpr int kTopMargin = 10;
constexpr int kRightMargin = 10;
}  // namespace

MemoryHistogram::MemoryHistogram(QWidget* parent) : QWidget(parent) {
    setObjectName("memoryHistogram");
    setMinimumSize(300, 200);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void MemoryHistogram::setBars(std::vector<std::uint32_t> values, double low, double high,
                              std::uint32_t first_address) {
    values_ = std::move(values);
    low_ = low;
    high_ = high;
    first_address_ = first_address;
    update();
}

void MemoryHistogram::clear() {
    values_.clear();
    update();
}

void MemoryHistogram::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect plot(kLeftMargin, kTopMargin, width() - kLeftMargin - kRightMargin,
                     height() - kTopMargin - kBottomMargin);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
    painter.drawText(QRect(0, plot.top() - 6, kLeftMargin - 6, 14), Qt::AlignRight,
                     QString::number(high_, 'f', 0));
    painter.drawText(QRect(0, plot.bottom() - 8, kLeftMargin - 6, 14), Qt::AlignRight,
                     QString::number(low_, 'f', 0));
    if (values_.empty() || high_ <= low_) {
        return;
    }
    painter.drawText(QRect(plot.left(), plot.bottom() + 4, plot.width(), 16), Qt::AlignLeft,
                     QString("0x%1").arg(first_address_, 4, 16, QChar('0')).toUpper().replace("0X", "0x"));
    const double step = static_cast<double>(plot.width()) / static_cast<double>(values_.size());
    const QColor bar = palette().color(QPalette::Highlight);
    for (std::size_t k = 0; k < values_.size(); ++k) {
        const double fraction = std::clamp((values_[k] - low_) / (high_ - low_), 0.0, 1.0);
        const int bar_height = static_cast<int>(fraction * plot.height());
        const int left = plot.left() + static_cast<int>(static_cast<double>(k) * step);
        const int bar_width = std::max(1, static_cast<int>(step) - (step > 3 ? 1 : 0));
        painter.fillRect(left, plot.bottom() - bar_height, bar_width, bar_height, bar);
    }
}

}  // namespace qvx::gui
