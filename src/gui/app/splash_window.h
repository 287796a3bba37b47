#pragma once
// The splash picture shown once at start-up; it closes by itself.

#include <QDialog>

namespace qvx::gui {

class SplashWindow : public QDialog {
    Q_OBJECT
  public:
    SplashWindow(int show_ms, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace qvx::gui
