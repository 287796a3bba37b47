#include "app/about_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <QtGlobal>

#include "app/startup.h"
#include "app/version.h"

namespace qvx::gui {

namespace {
constexpr const char* kLicenceText = "Licence: proprietary; for use with Quorvix sensors.";
}  // namespace

QString AboutDialog::BuildText() {
    return QString("Built %1 with %2\nQt %3 (built against %4)\n%5")
        .arg(QStringLiteral(__DATE__), QStringLiteral("GCC " __VERSION__), QString::fromLatin1(qVersion()),
             QStringLiteral(QT_VERSION_STR), QString::fromLatin1(kLicenceText));
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString("About ") + kProgramName);
    setObjectName("aboutDialog");
    auto* name = new QLabel(kProgramName);
    QFont font = name->font();
    font.setPointSizeF(font.pointSizeF() * 1.6);
    font.setBold(true);
    name->setFont(font);
    name->setAlignment(Qt::AlignCenter);
    auto* version = new QLabel(QString("Version ") + kProgramVersion);
    version->setObjectName("versionText");
    version->setAlignment(Qt::AlignCenter);
    auto* blurb = new QLabel("Set-up, live traffic and data collection\nfor Quorvix traffic radar sensors.");
    blurb->setAlignment(Qt::AlignCenter);
    auto* build = new QLabel(BuildText());
    build->setObjectName("buildText");
    build->setAlignment(Qt::AlignCenter);
    build->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("okButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    buttons->setCenterButtons(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 24, 32, 16);
    layout->setSpacing(10);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addSpacing(6);
    layout->addWidget(blurb);
    layout->addSpacing(6);
    layout->addWidget(build);
    layout->addSpacing(10);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto* shortcut = new QShortcut(QKeySequence("Ctrl+W"), this);
    connect(shortcut, &QShortcut::activated, this, &AboutDialog::askPassword);
}

void AboutDialog::askPassword() {
    if (engineering_on_)
        return;
    PasswordDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        emit passwordEntered(dialog.password());
}

PasswordDialog::PasswordDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Password");
    setObjectName("passwordDialog");
    field_ = new QLineEdit;
    field_->setObjectName("passwordField");
    field_->setEchoMode(QLineEdit::Password);
    field_->setMaxLength(kPasswordMaxLength);
    field_->setMinimumWidth(200);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("okButton");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancelButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Enter password:"));
    layout->addWidget(field_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString PasswordDialog::password() const {
    return field_->text();
}

}  // namespace qvx::gui
