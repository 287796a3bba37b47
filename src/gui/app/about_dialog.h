#pragma once
// "About Quorvix Manager": program name, version, build, Qt version and licence. Ctrl+W here asks for the
// engineering password.

#include <QDialog>

class QLineEdit;

namespace qvx::gui {

class AboutDialog : public QDialog {
    Q_OBJECT
  public:
    explicit AboutDialog(QWidget* parent = nullptr);
    // While the engineering menus are on, Ctrl+W asks nothing.
    void setEngineeringOn(bool on) { engineering_on_ = on; }
    // When and with what the program was built, the Qt it runs on, and the licence.
    static QString BuildText();

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
