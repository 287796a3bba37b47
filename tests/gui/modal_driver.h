#pragma once
// Answers modal dialogs in tests: a timer on the user-interface thread waits for the modal
// window to appear and clicks the button with the given object name. Works while a nested
// exec() loop runs, which plain test code cannot do.

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "support/screenshot.h"

namespace qvx::test {

class ModalDriver : public QObject {
  public:
    explicit ModalDriver(QString button_name) : button_name_(std::move(button_name)) {
        connect(&timer_, &QTimer::timeout, this, &ModalDriver::poll);
        timer_.start(10);
    }
    bool clicked() const { return clicked_; }
    // Caption of the dialog it answered.
    QString caption() const { return caption_; }
    // Called with the dialog just before the click (to look at it, change fields, grab it).
    std::function<void(QWidget*)> before_click;

  private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        auto* button = modal->findChild<QPushButton*>(button_name_);
        if (!button)
            return;
        timer_.stop();
        caption_ = modal->windowTitle();
        if (before_click)
            before_click(modal);
        button->click();
        clicked_ = true;
    }

    QString button_name_;
    QTimer timer_;
    bool clicked_ = false;
    QString caption_;
};

inline void SaveScreenshot(QWidget* widget, const QString& name) {
    GrabScreenshot(widget, name);
}

}  // namespace qvx::test
