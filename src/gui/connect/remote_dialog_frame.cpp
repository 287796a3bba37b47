#include "connect/remote_dialog_frame.h"

#include <QDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "connect/dialog_widgets.h"

namespace qvx::gui {

namespace {

QLabel* NamedLabel(const QString& text, const QString& name) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    return label;
}

}  // namespace

RemoteDialogFrame MakeRemoteDialogFrame(const QString& prompt, const QString& address_book_text) {
    RemoteDialogFrame frame;
    frame.prompt = NamedLabel(QString(prompt).replace("\r\n", "\n"), "promptLabel");
    frame.status = NamedLabel(QString(), "statusLabel");
    frame.properties = NamedLabel(QString(), "propertiesLabel");
    frame.cancel = NamedButton("Cancel", "cancelButton");
    frame.advanced = NamedButton("Advanced", "advancedButton");
    frame.address_book = NamedButton(address_book_text, "addressBookButton");
    return frame;
}

QProgressBar* BusyAnimation(const QString& name) {
    auto* bar = new QProgressBar;
    bar->setObjectName(name);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setMaximumHeight(8);
    bar->hide();
    return bar;
}

void LayOutRemoteDialog(QDialog* dialog, const RemoteDialogFrame& frame, QFormLayout* fields,
                        const std::vector<QWidget*>& animations, QPushButton* main_button) {
    auto* side = new QHBoxLayout;
    side->addLayout(fields);
    side->addWidget(frame.address_book, 0, Qt::AlignTop);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(frame.advanced);
    buttons->addStretch();
    buttons->addWidget(main_button);
    buttons->addWidget(frame.cancel);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(frame.prompt);
    layout->addLayout(side);
    layout->addWidget(frame.status);
    for (QWidget* animation : animations) {
        layout->addWidget(animation);
    }
    layout->addWidget(frame.properties);
    layout->addLayout(buttons);
}

}  // namespace qvx::gui
