#pragma once
// The connection-type chooser as the main window's first view: OK starts the chosen connection.

#include "app/working_view.h"

namespace qvx::gui {

class ConnectionTypeChooser;
class MainWindow;

class ChooserView : public WorkingView {
    Q_OBJECT
  public:
    explicit ChooserView(MainWindow& main_window, QWidget* parent = nullptr);
    ViewCode viewCode() const override { return ViewCode::ConnectionChooser; }

  private:
    ConnectionTypeChooser* chooser_ = nullptr;
};

}  // namespace qvx::gui
