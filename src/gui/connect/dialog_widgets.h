#pragma once
// Small widget helpers the connection dialogs share.

#include <QPushButton>
#include <QString>
#include <string>

namespace qvx::gui {

// A button tests can find by name. It never becomes the default on focus, so Enter keeps going
// to the button the dialog chose.
inline QPushButton* NamedButton(const QString& text, const QString& name) {
    auto* button = new QPushButton(text);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

inline QString Qs(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace qvx::gui
