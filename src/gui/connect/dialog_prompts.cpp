#include "connect/dialog_prompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace qvx::gui {

bool WidgetDialogPrompts::confirm(QWidget* parent, const QString& title, const QString& text) {
    return QMessageBox::question(parent, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

void WidgetDialogPrompts::inform(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::information(parent, title, text);
}

void WidgetDialogPrompts::warn(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::warning(parent, title, text);
}

QString WidgetDialogPrompts::chooseFile(QWidget* parent, const QString& title, const QString& filter,
                                        const QString& default_suffix) {
    QFileDialog dialog(parent, title, QString(), filter);
    // An open dialog that also accepts a new name: the book is created when missing.
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(default_suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().first();
}

WidgetDialogPrompts& WidgetDialogPrompts::instance() {
    static WidgetDialogPrompts prompts;
    return prompts;
}

}  // namespace qvx::gui
