#include "app/main_window.h"

#include "app/version.h"

namespace qvx::gui {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(kProgramTitle);
    resize(900, 600);
}

}  // namespace qvx::gui
