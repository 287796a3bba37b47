#pragma once
// The questions and messages the address book windows ask, behind one seam so that the windows'
// rules can be driven without a person answering message boxes.

#include <QString>

class QWidget;

namespace qvx::gui {

class DialogPrompts {
  public:
    virtual ~DialogPrompts() = default;
    // OK / Cancel; true for OK.
    virtual bool confirm(QWidget* parent, const QString& title, const QString& text) = 0;
    virtual void inform(QWidget* parent, const QString& title, const QString& text) = 0;
    virtual void warn(QWidget* parent, const QString& title, const QString& text) = 0;
    // A file to open or create (it need not exist); empty when the user cancels.
    virtual QString chooseFile(QWidget* parent, const QString& title, const QString& filter,
                               const QString& default_suffix) = 0;
};

// Message boxes and the toolkit's file dialog.
class WidgetDialogPrompts : public DialogPrompts {
  public:
    bool confirm(QWidget* parent, const QString& title, const QString& text) override;
    void inform(QWidget* parent, const QString& title, const QString& text) override;
    void warn(QWidget* parent, const QString& title, const QString& text) override;
    QString chooseFile(QWidget* parent, const QString& title, const QString& filter,
                       const QString& default_suffix) override;

    static WidgetDialogPrompts& instance();
};

}  // namespace qvx::gui
