#include "connect/ip_octet_fields.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>

namespace qvx::gui {

std::optional<std::array<QString, 4>> SplitDottedAddress(const QString& text) {
    const QStringList parts = text.trimmed().split('.');
    if (parts.size() != 4)
        return std::nullopt;
    std::array<QString, 4> octets;
    for (int k = 0; k < 4; ++k) {
        bool number = false;
        const int value = parts[k].toInt(&number);
        if (!number || parts[k].size() > 3 || value < 0 || value > 255)
            return std::nullopt;
        octets[static_cast<std::size_t>(k)] = parts[k];
    }
    return octets;
}

IpOctetFields::IpOctetFields(const std::array<QLineEdit*, 4>& boxes) : QObject(boxes[0]), boxes_(boxes) {}

void IpOctetFields::Link(const std::array<QLineEdit*, 4>& boxes) {
    auto* fields = new IpOctetFields(boxes);
    for (QLineEdit* box : boxes)
        box->installEventFilter(fields);
}

int IpOctetFields::indexOf(QObject* box) const {
    for (std::size_t k = 0; k < boxes_.size(); ++k) {
        if (boxes_[k] == box)
            return static_cast<int>(k);
    }
    return -1;
}

bool IpOctetFields::pasteAddress() {
    const auto octets = SplitDottedAddress(QApplication::clipboard()->text());
    if (!octets)
        return false;
    for (std::size_t k = 0; k < boxes_.size(); ++k)
        boxes_[k]->setText((*octets)[k]);
    boxes_.back()->setFocus();
    boxes_.back()->end(false);
    return true;
}

bool IpOctetFields::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const int index = indexOf(watched);
    if (key->matches(QKeySequence::Paste))
        return pasteAddress();  // anything else pastes as usual (and the box's filter cleans it)
    if (key->text() == "." && index >= 0) {
        // An empty box keeps the focus: "." there is a slip, not the end of a number.
        if (index + 1 < static_cast<int>(boxes_.size()) &&
            !boxes_[static_cast<std::size_t>(index)]->text().isEmpty()) {
            QLineEdit* next = boxes_[static_cast<std::size_t>(index) + 1];
            next->setFocus(Qt::TabFocusReason);
            next->selectAll();
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace qvx::gui
