#pragma once
// The memory view's histogram: one bar per value, scaled between a lower and an upper y value.

#include <QWidget>
#include <vector>

namespace qvx::gui {

class MemoryHistogram : public QWidget {
    Q_OBJECT
  public:
    explicit MemoryHistogram(QWidget* parent = nullptr);
    void setBars(std::vector<std::uint32_t> values, double low, double high, std::uint32_t first_address);
    void clear();
    const std::vector<std::uint32_t>& bars() const { return values_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::vector<std::uint32_t> values_;
    double low_ = 0;
    double high_ = 1;
    std::uint32_t first_address_ = 0;
};

}  // namespace qvx::gui
