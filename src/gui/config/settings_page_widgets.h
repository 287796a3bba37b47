#pragma once
// The four tab pages of the settings window. Each page only copies its page model (core) into its
// controls (load) and back (store); the rules live in the core. Controls that failed validation
// show red until they get focus.

#include <QWidget>
#include <array>
#include <functional>
#include <map>

#include "config/calibration_pages.h"
#include "config/communication_page.h"
#include "config/data_collection_page.h"
#include "config/general_page.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace qvx {
class SensorConfiguration;
class UserPrompts;
}  // namespace qvx

namespace qvx::gui {

// Red text on the controls an ErrorMarkList names; focus on one removes its mark.
class MarkPainter : public QObject {
  public:
    explicit MarkPainter(QObject* parent) : QObject(parent) {}
    void track(QWidget* control, int id);
    void setMarks(ErrorMarkList* marks) { marks_ = marks; }
    void paint();
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    ErrorMarkList* marks_ = nullptr;
    std::map<QWidget*, int> controls_;
};

class GeneralPageWidget : public QWidget {
    Q_OBJECT
  public:
    GeneralPageWidget(UserPrompts& prompts, bool engineering, QWidget* parent = nullptr);
    void load(const GeneralPageModel& page);
    void store(GeneralPageModel& page) const;
    // The config record a short multi-drop ID falls back to.
    void setConfiguration(const SensorConfiguration* config) { config_ = config; }

  signals:
    void unitsChanged();

  private:
    UserPrompts& prompts_;
    const SensorConfiguration* config_ = nullptr;
    bool loading_ = false;
    QLineEdit* serial_ = nullptr;
    QLineEdit* multidrop_id_ = nullptr;
    QLineEdit* rtms_id_ = nullptr;
    QLineEdit* description_ = nullptr;
    QLineEdit* location_ = nullptr;
    QComboBox* orientation_ = nullptr;
    QComboBox* units_ = nullptr;
    QComboBox* rf_channel_ = nullptr;
    QComboBox* replay_ = nullptr;
};

class CommunicationPageWidget : public QWidget {
    Q_OBJECT
  public:
    CommunicationPageWidget(UserPrompts& prompts, QWidget* parent = nullptr);
    void load(const CommunicationPageModel& page);
    void store(CommunicationPageModel& page) const;

  private:
    QWidget* addressRow(std::array<QLineEdit*, 4>& octets, const char* name);
    void flowControlChosen(int index);

    UserPrompts& prompts_;
    bool loading_ = false;
    int flow_control_ = 0;
    std::array<QLineEdit*, 4> modem_ip_{};
    std::array<QLineEdit*, 4> collector_ip_{};
    std::array<QComboBox*, 4> baud_{};
    QLineEdit* config_script_ = nullptr;
    QLineEdit* data_script_ = nullptr;
    QLineEdit* variable_name_ = nullptr;
    QLineEdit* tcp_port_ = nullptr;
    std::array<QLineEdit*, 4> delays_{};
    QComboBox* simple_protocol_ = nullptr;
    QComboBox* flow_control_box_ = nullptr;
    std::array<QCheckBox*, 4> push_enabled_{};
    std::array<QComboBox*, 4> push_port_{};
    std::array<QComboBox*, 4> push_type_{};
};

class DataCollectionPageWidget : public QWidget {
    Q_OBJECT
  public:
    DataCollectionPageWidget(DataCollectionPage& page, UserPrompts& prompts, QWidget* parent = nullptr);
    // The records the extension ticks change at once.
    void setConfiguration(SensorConfiguration* config) { config_ = config; }
    void load();
    void store();
    void paintMarks() { painter_->paint(); }

  private:
    QWidget* buildTop();
    QWidget* buildLanes();
    QWidget* buildRegisters();
    void loopStepped(int control, QSpinBox* spin);
    void applyDefault(bool spacing);
    void refresh();

    DataCollectionPage& page_;
    UserPrompts& prompts_;
    SensorConfiguration* config_ = nullptr;
    MarkPainter* painter_ = nullptr;
    bool loading_ = false;

    QLineEdit* interval_ = nullptr;
    QCheckBox* store_in_flash_ = nullptr;
    QLineEdit* flash_interval_ = nullptr;
    QLabel* flash_hint_ = nullptr;
    QLabel* min_label_ = nullptr;
    QLabel* max_label_ = nullptr;
    QLabel* loop_units_ = nullptr;
    std::array<QLineEdit*, 6> classes_{};
    std::array<QLineEdit*, kPageLanes> names_{};
    std::array<QComboBox*, kPageLanes> directions_{};
    std::array<QSpinBox*, kPageLanes> sizes_{};
    std::array<QSpinBox*, kPageLanes> spacings_{};
    std::array<QLabel*, kPageLanes> occupancy_{};
    std::array<QLabel*, kPageLanes> speed_{};
    QLabel* size_heading_ = nullptr;
    QLabel* spacing_heading_ = nullptr;
    QPushButton* view_button_ = nullptr;
    QSpinBox* default_size_ = nullptr;
    QSpinBox* default_spacing_ = nullptr;
    std::array<QCheckBox*, kPageLanes> extended_{};
    QSpinBox* extension_ms_ = nullptr;
    QLineEdit* dacr_ = nullptr;
    QLineEdit* pga_ = nullptr;
    QLineEdit* speed_avg_ = nullptr;
};

class SideFireCalibrationWidget : public QWidget {
    Q_OBJECT
  public:
    SideFireCalibrationWidget(SideFireCalibrationPage& page, QWidget* parent = nullptr);
    void load();
    void store();
    void paintMarks() { painter_->paint(); }

  private:
    SideFireCalibrationPage& page_;
    MarkPainter* painter_ = nullptr;
    std::array<QLineEdit*, 8> main_{};
    std::array<QLineEdit*, 8> aux_{};
    std::array<QLineEdit*, 20> boundaries_{};
    std::array<QLineEdit*, 4> last_lanes_{};
};

class ForwardFireCalibrationWidget : public QWidget {
    Q_OBJECT
  public:
    explicit ForwardFireCalibrationWidget(QWidget* parent = nullptr);
    void load(const ForwardFireCalibrationModel& page);
    void store(ForwardFireCalibrationModel& page) const;

  private:
    std::array<QLineEdit*, 8> start_{};
    std::array<QLineEdit*, 8> stop_{};
    std::array<QLineEdit*, 32> thresholds_{};
    QLineEdit* presence_ = nullptr;
    std::array<QLineEdit*, 80> noise_{};
    std::array<QLineEdit*, 2> future_{};
};

}  // namespace qvx::gui
