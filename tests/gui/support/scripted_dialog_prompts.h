#pragma once
// Answers the address book windows' questions from a script and records what was asked.

#include <QDir>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "connect/dialog_prompts.h"
#include "screenshot.h"

namespace qvx::gui::test {

class ScriptedDialogPrompts : public DialogPrompts {
  public:
    bool confirm_answer = true;
    QString chosen_file;
    QStringList asked;  // "title|text" of every question and message, in order

    bool confirm(QWidget*, const QString& title, const QString& text) override {
        asked << title + "|" + text;
        return confirm_answer;
    }
    void inform(QWidget*, const QString& title, const QString& text) override { asked << title + "|" + text; }
    void warn(QWidget*, const QString& title, const QString& text) override { asked << title + "|" + text; }
    QString chooseFile(QWidget*, const QString& title, const QString& filter,
                       const QString& suffix) override {
        asked << title + "|" + filter + "|" + suffix;
        return chosen_file;
    }
};

// Saves what the widget shows under the screenshot folder, for a person to look at.
inline void SaveScreenshot(QWidget& widget, const QString& name) {
    qvx::test::GrabScreenshot(&widget, name);
}

}  // namespace qvx::gui::test
