#pragma once
#include <QMainWindow>

namespace qvx::gui {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
};

}  // namespace qvx::gui
