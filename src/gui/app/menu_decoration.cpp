#include "app/menu_decoration.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

namespace qvx::gui {

namespace {

// Items whose window asks for more (a connection, a file, a record) before anything happens.
bool OpensDialog(MenuItem item) {
    using enum MenuItem;
    switch (item) {
        case NewSerial:
        case NewModem:
        case NewInternet:
        case Properties:
        case SensorInfo:
        case AddressBookNew:
        case AddressBookOpenModem:
        case AddressBookOpenInternet:
        case DownloadLogNew:
        case DownloadLogOpen:
        case IntervalLogNew:
        case IntervalLogOpen:
        case EventLogNew:
        case EventLogOpen:
        case SensorSettings:
        case About:
            return true;
        default:
            return false;
    }
}

// The label as shown: "&&" is one literal '&'.
QString Unescaped(const QString& escaped) {
    return QString(escaped).replace("&&", "&");
}

bool HasMnemonic(const QString& escaped) {
    return QString(escaped).remove("&&").contains('&');
}

int ChooseLetter(const QString& plain, const QString& used) {
    auto free = [&](int k) { return plain[k].isLetterOrNumber() && !used.contains(plain[k].toUpper()); };
    for (int k = 0; k < plain.size(); ++k) {
        const bool word_start = k == 0 || plain[k - 1].isSpace() || plain[k - 1] == '(';
        if (word_start && free(k))
            return k;
    }
    for (int k = 0; k < plain.size(); ++k) {
        if (free(k))
            return k;
    }
    return -1;
}

}  // namespace

QKeySequence MenuShortcut(MenuItem item) {
    using enum MenuItem;
    switch (item) {
        case SensorInfo:
            return QKeySequence("Ctrl+S");
        case Hyperterminal:
            return QKeySequence("Ctrl+H");
        case FirmwareUpload:
            return QKeySequence("Ctrl+U");
        case HelpContents:
            return QKeySequence(QKeySequence::HelpContents);
        default:
            return {};
    }
}

QString MenuItemLabel(MenuItem item, const QString& table_text) {
    QString label = QString(table_text).replace("&", "&&");
    if (OpensDialog(item) && !label.endsWith("..."))
        label += "...";
    return label;
}

QString WithMnemonic(const QString& escaped_label, QString& used) {
    if (HasMnemonic(escaped_label)) {
        const QString stripped = QString(escaped_label).remove("&&");
        const int marker = stripped.indexOf('&');
        if (marker + 1 < stripped.size())
            used += stripped[marker + 1].toUpper();
        return escaped_label;
    }
    const QString plain = Unescaped(escaped_label);
    const int chosen = ChooseLetter(plain, used);
    if (chosen < 0)
        return escaped_label;
    used += plain[chosen].toUpper();
    QString result;
    for (int k = 0; k < plain.size(); ++k) {
        if (k == chosen)
            result += '&';
        result += plain[k] == '&' ? QString("&&") : QString(plain[k]);
    }
    return result;
}

void AssignMnemonics(QWidget* menu_or_bar) {
    QString used;
    const QList<QAction*> actions = menu_or_bar->actions();
    // Labels that carry a mnemonic already keep it; the others choose around them.
    for (QAction* action : actions) {
        if (HasMnemonic(action->text()))
            WithMnemonic(action->text(), used);
    }
    for (QAction* action : actions) {
        if (action->isSeparator())
            continue;
        action->setText(WithMnemonic(action->text(), used));
        if (QMenu* sub = action->menu())
            AssignMnemonics(sub);
    }
}

}  // namespace qvx::gui
