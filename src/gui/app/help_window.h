#pragma once
// The help pages: a table of contents beside the rich-text topics stored in the program.

#include <QDialog>

class QListWidget;
class QTextBrowser;

namespace qvx::gui {

class HelpWindow : public QDialog {
    Q_OBJECT
  public:
    explicit HelpWindow(QWidget* parent = nullptr);
    // Shows the one help window (raising it when it is open already).
    static void showHelp(QWidget* parent);
    int topicCount() const;

  private:
    QListWidget* contents_ = nullptr;
    QTextBrowser* page_ = nullptr;
};

}  // namespace qvx::gui
