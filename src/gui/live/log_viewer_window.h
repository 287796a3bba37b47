#pragma once
// A read-only view of a log file inside the program, for machines where no text editor starts:
// the file's last part (up to 4 MB) in a fixed-width font, with Reload and Close.

#include <QDialog>
#include <QString>

#include "live/log_files.h"

class QPlainTextEdit;
class QLabel;

namespace qvx::gui {

class LogViewerWindow : public QDialog {
    Q_OBJECT
  public:
    static constexpr qint64 kShownBytes = 4 * 1024 * 1024;

    LogViewerWindow(const QString& path, QWidget* parent = nullptr);
    QString shownText() const;

  public slots:
    void reload();

  private:
    QString path_;
    QLabel* heading_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
};

// The system's text editor, and this window when none starts.
EditorLauncher editorOrViewer(QWidget* parent);

}  // namespace qvx::gui
