#pragma once
// Step 2 of the 3-card export: the days to export on two calendars, the station, the state or
// region, the functional classification and the restriction.

#include <QWidget>
#include <optional>

#include "export/three_card.h"

class QCalendarWidget;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace qvx::gui {

class CardSettingsStep : public QWidget {
    Q_OBJECT
  public:
    explicit CardSettingsStep(QWidget* parent = nullptr);

    void showSettings(const CardSettings& settings);
    // The controls into settings; the message for the first entry that cannot be used.
    std::optional<ExportMessage> collect(CardSettings& settings) const;

  signals:
    void backRequested();
    void continueRequested();

  private:
    QCalendarWidget* start_ = nullptr;
    QCalendarWidget* end_ = nullptr;
    QLineEdit* station_ = nullptr;
    QComboBox* state_ = nullptr;
    QComboBox* class_ = nullptr;
    QComboBox* restriction_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* continue_ = nullptr;
};

}  // namespace qvx::gui
