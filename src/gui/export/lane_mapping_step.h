#pragma once
// Step 3 of the 3-card export: each lane name of the log mapped to a 3-card lane code and a
// direction of travel, "Open 3 Card export file when finished", and "Finish".

#include <QWidget>
#include <string>
#include <vector>

#include "export/three_card.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;

namespace qvx::gui {

class LaneMappingStep : public QWidget {
    Q_OBJECT
  public:
    explicit LaneMappingStep(QWidget* parent = nullptr);

    // One row per lane name (at most 8), pre-set to mappings.
    void showLanes(const std::vector<std::string>& names, const std::vector<LaneMapping>& mappings);
    std::vector<LaneMapping> mappings() const;
    bool openWhenFinished() const;
    void setOpenWhenFinished(bool on);
    // "Exporting..." while the file is written; the buttons are off meanwhile.
    void setExporting(bool exporting);

    int laneRows() const { return rows_; }
    QComboBox* laneList(int row) const { return lanes_[static_cast<std::size_t>(row)]; }
    QComboBox* directionList(int row) const { return directions_[static_cast<std::size_t>(row)]; }

  signals:
    void backRequested();
    void finishRequested();

  private:
    std::vector<QLabel*> names_;
    std::vector<QComboBox*> lanes_;
    std::vector<QComboBox*> directions_;
    int rows_ = 0;
    QCheckBox* open_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* finish_ = nullptr;
};

}  // namespace qvx::gui
