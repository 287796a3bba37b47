#include "connect/field_filter.h"

#include <QLineEdit>
#include <algorithm>

namespace qvx::gui {

void installTextFilter(QLineEdit* field, TextRule rule) {
    QObject::connect(field, &QLineEdit::textEdited, field, [field, rule](const QString& text) {
        QString kept = QString::fromStdString(rule(text.toStdString()));
        if (kept == text) {
            return;
        }
        int from_end = static_cast<int>(text.size()) - field->cursorPosition();
        field->setText(kept);
        field->setCursorPosition(std::max(0, static_cast<int>(kept.size()) - from_end));
    });
}

}  // namespace qvx::gui
