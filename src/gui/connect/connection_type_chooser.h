#pragma once
// The first view while no sensor is connected: which kind of connection to make. OK hands the
// choice to the main window, which starts that connection as New Connection does.

#include <QWidget>

#include "link/connection_state.h"

class QPushButton;
class QRadioButton;

namespace qvx::gui {

class ConnectionTypeChooser : public QWidget {
    Q_OBJECT
  public:
    explicit ConnectionTypeChooser(QWidget* parent = nullptr);

    LinkKind chosenKind() const;
    void setChosenKind(LinkKind kind);

  signals:
    void connectionChosen(qvx::LinkKind kind);

  private:
    void updateWidgets();

    QRadioButton* serial_ = nullptr;
    QRadioButton* modem_ = nullptr;
    QRadioButton* internet_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace qvx::gui

Q_DECLARE_METATYPE(qvx::LinkKind)
