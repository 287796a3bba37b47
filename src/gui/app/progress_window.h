#pragma once
// The small "please wait" window shown while the program talks to the sensor. Any thread may
// show or close it: the calls are handed to the user-interface thread.

#include <QDialog>

#include "base/progress_reporter.h"

class QLabel;

namespace qvx::gui {

class ProgressWindow : public QDialog, public ProgressReporter {
    Q_OBJECT
  public:
    explicit ProgressWindow(QWidget* parent = nullptr);

    void ShowProgress(const std::string& caption, const std::string& text) override;
    void CloseProgress() override;

    QString text() const;

  private:
    void showOnUiThread(const QString& caption, const QString& text);

    QLabel* text_ = nullptr;
};

}  // namespace qvx::gui
