#pragma once
// "Memory View": a range of the sensor's 16-bit memory words read with "X6" and shown as a table
// (hexadecimal, decimal or characters) or a histogram; refreshed on demand or periodically, with
// every change stored to a file as a dump or as the sensor's recent-event list.

#include <QTimer>
#include <optional>

#include "app/working_view.h"
#include "tools/memory_range.h"
#include "tools/tool_work.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QStackedWidget;

namespace qvx {
class AppContext;
}

namespace qvx::gui {

class MemoryHistogram;

class MemoryView : public WorkingView {
    Q_OBJECT
  public:
    explicit MemoryView(AppContext& app, QWidget* parent = nullptr);
    ~MemoryView() override;
    ViewCode viewCode() const override { return ViewCode::MemoryView; }
    bool shutdown() override;

    bool busy() const { return work_.running(); }
    bool autoRefreshing() const { return auto_timer_.isActive(); }
    int reads() const { return reads_; }
    int tableWrites() const { return table_writes_; }
    const std::string& data() const { return data_; }

  public slots:
    void manualRefresh();
    void setAutoRefresh(bool on);

  private:
    QWidget* buildRange();
    QWidget* buildDisplay();
    QWidget* buildStorage();
    void startRead();
    void finishRead();
    void showData(bool changed);
    void drawHistogram();
    void storeChange(const std::string& previous);
    void stopAutoRefresh(const QString& reason);
    void formatChanged();
    void updateWidgets();

    AppContext& app_;
    ToolWork work_;
    QTimer auto_timer_;
    MemoryStore store_;
    MemoryRange range_;
    MemoryReading reading_;
    bool link_busy_ = false;
    std::string data_;
    std::string previous_;
    int reads_ = 0;
    int table_writes_ = 0;
    bool stopped_ = false;

    QLineEdit* lower_ = nullptr;
    QLineEdit* upper_ = nullptr;
    QComboBox* format_ = nullptr;
    QComboBox* data_size_ = nullptr;
    QComboBox* y_scale_ = nullptr;
    QDoubleSpinBox* lower_y_ = nullptr;
    QDoubleSpinBox* upper_y_ = nullptr;
    QSpinBox* interval_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QPushButton* auto_refresh_ = nullptr;
    QLineEdit* storage_path_ = nullptr;
    QPushButton* browse_ = nullptr;
    QComboBox* storage_format_ = nullptr;
    QCheckBox* buffer_changes_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QPlainTextEdit* output_ = nullptr;
    MemoryHistogram* histogram_ = nullptr;
    QLabel* note_ = nullptr;
};

}  // namespace qvx::gui
