#include "export/lane_mapping_step.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "export/card_codes.h"
#include "export/interval_log_reader.h"

namespace qvx::gui {

namespace {

QLabel* Heading(const QString& text) {
    auto* label = new QLabel("<b>" + text + "</b>");
    return label;
}

char DigitOf(int index) {
    return static_cast<char>('0' + std::clamp(index, 0, 9));
}

}  // namespace

LaneMappingStep::LaneMappingStep(QWidget* parent) : QWidget(parent) {
    auto* grid = new QGridLayout;
    grid->addWidget(Heading("Lane Name"), 0, 0);
    grid->addWidget(Heading("Lane"), 0, 1);
    grid->addWidget(Heading("Direction"), 0, 2);
    for (std::size_t row = 0; row < kMaxLogLaneNames; ++row) {
        auto* name = new QLabel;
        name->setObjectName(QString("laneName%1").arg(row + 1));
        auto* lane = new QComboBox;
        lane->setObjectName(QString("lane%1").arg(row + 1));
        for (int code = 0; code <= 9; ++code)
            lane->addItem(QString::number(code));
        auto* direction = new QComboBox;
        direction->setObjectName(QString("direction%1").arg(row + 1));
        for (const CardCode& code : DirectionCodes())
            direction->addItem(code.name);
        grid->addWidget(name, static_cast<int>(row) + 1, 0);
        grid->addWidget(lane, static_cast<int>(row) + 1, 1);
        grid->addWidget(direction, static_cast<int>(row) + 1, 2);
        names_.push_back(name);
        lanes_.push_back(lane);
        directions_.push_back(direction);
    }
    grid->setColumnStretch(3, 1);

    auto* hint = new QLabel("Lane 0 reports all lanes of a direction together.");
    open_ = new QCheckBox("Open 3 Card export file when finished");
    open_->setObjectName("openWhenFinished");
    status_ = new QLabel;
    status_->setObjectName("status");
    back_ = new QPushButton("< &Back");
    back_->setObjectName("back");
    finish_ = new QPushButton("&Finish");
    finish_->setObjectName("finish");
    finish_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status_);
    buttons->addStretch();
    buttons->addWidget(back_);
    buttons->addWidget(finish_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("<b>3 Card Export -- Step 3</b>"));
    layout->addLayout(grid);
    layout->addWidget(hint);
    layout->addWidget(open_);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(back_, &QPushButton::clicked, this, &LaneMappingStep::backRequested);
    connect(finish_, &QPushButton::clicked, this, &LaneMappingStep::finishRequested);
}

void LaneMappingStep::showLanes(const std::vector<std::string>& names,
                                const std::vector<LaneMapping>& mappings) {
    rows_ = static_cast<int>(std::min(names.size(), kMaxLogLaneNames));
    for (std::size_t row = 0; row < kMaxLogLaneNames; ++row) {
        const bool used = static_cast<int>(row) < rows_;
        names_[row]->setVisible(used);
        lanes_[row]->setVisible(used);
        directions_[row]->setVisible(used);
        if (!used)
            continue;
        names_[row]->setText(QString::fromStdString(names[row]).trimmed());
        const LaneMapping mapping = row < mappings.size() ? mappings[row] : DefaultLaneMapping(row);
        lanes_[row]->setCurrentIndex(mapping.lane_code - '0');
        directions_[row]->setCurrentIndex(mapping.direction_index - '0');
    }
}

std::vector<LaneMapping> LaneMappingStep::mappings() const {
    std::vector<LaneMapping> result;
    for (int row = 0; row < rows_; ++row)
        result.push_back(
            {DigitOf(laneList(row)->currentIndex()), DigitOf(directionList(row)->currentIndex())});
    return result;
}

bool LaneMappingStep::openWhenFinished() const {
    return open_->isChecked();
}

void LaneMappingStep::setOpenWhenFinished(bool on) {
    open_->setChecked(on);
}

void LaneMappingStep::setExporting(bool exporting) {
    status_->setText(exporting ? "Exporting..." : "");
    back_->setEnabled(!exporting);
    finish_->setEnabled(!exporting);
    if (exporting)
        status_->repaint();
}

}  // namespace qvx::gui
