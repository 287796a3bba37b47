#pragma once
// "Edit Lane Names": one field per lane (8 characters each), titled "Edit Lane Name" for one lane
// and "Edit Lane Names (0 lanes)" when there is none.

#include <QDialog>
#include <QStringList>
#include <vector>

class QLineEdit;

namespace qvx::gui {

class EditLaneNamesDialog : public QDialog {
    Q_OBJECT
  public:
    EditLaneNamesDialog(const QStringList& names, int lanes, QWidget* parent = nullptr);

    // The names as edited, one per lane.
    QStringList names() const;
    QLineEdit* field(int lane) const { return fields_.at(static_cast<std::size_t>(lane)); }

  private:
    std::vector<QLineEdit*> fields_;
};

}  // namespace qvx::gui
