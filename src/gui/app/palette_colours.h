#pragma once
// Colours for meaning (error, success, a quiet note) that stay readable on the palette in use: a
// dark palette gets the light variant of each. Windows take their colours from here, never fixed
// values, so that a dark desktop theme works.

#include <QColor>
#include <QPalette>
#include <QString>

class QWidget;

namespace qvx::gui {

// True when the window background is darker than its text.
bool IsDarkPalette(const QPalette& palette);

QColor ErrorColour(const QPalette& palette);
QColor SuccessColour(const QPalette& palette);
// The background of a cell that needs attention (a difference, a fault) under the palette's text.
QColor AttentionBackground(const QPalette& palette);
// Text that matters less than the text around it: between the text and the background.
QColor QuietTextColour(const QPalette& palette);

enum class TextMeaning { Plain, Error, Success, Quiet };

// Gives the widget's text the colour of its meaning under the program's palette (plus the extra
// style, e.g. "font-weight: bold;"), and gives it again whenever that palette changes. Plain
// returns the widget to the palette's own text colour.
void ColourText(QWidget* widget, TextMeaning meaning, const QString& extra_style = {});

}  // namespace qvx::gui
