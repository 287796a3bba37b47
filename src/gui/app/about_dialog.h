#pragma once
// "About Quorvix Manager": program name and version. Ctrl+W here asks for the engineering
// password.

#include <QDialog>

class QLineEdit;

namespace qvx::gui {

class AboutDialog : public QDialog {
    Q_OBJECT
  public:
    explicit AboutDialog(QWidget* parent = nullptr);
    // While the engineering menus are on, Ctrl+W asks nothing.
    void setEngineeringOn(bool on) { engineering_on_ = on; }

  public slots:
    void askPassword();

  signals:
    void passwordEntered(const QString& password);

  private:
    bool engineering_on_ = false;
};

// "Password": "Enter password:", at most 15 characters, shown as dots.
class PasswordDialog : public QDialog {
    Q_OBJECT
  public:
    explicit PasswordDialog(QWidget* parent = nullptr);
    QString password() const;

  private:
    QLineEdit* field_ = nullptr;
};

}  // namespace qvx::gui
