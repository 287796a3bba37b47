#pragma once
// Where the GUI tests put their screenshots, and how a run shows the windows as a technician with
// other settings would: QVX_SCREENSHOT_SUFFIX is appended to every name (scripts/screenshots runs
// the tests at QT_SCALE_FACTOR=1.5 with "_scale150"), and QVX_SCREENSHOT_PALETTE=dark gives the
// whole program a dark palette from its first widget on.

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QPalette>
#include <QString>
#include <QWidget>

namespace qvx::test {

// A plain light palette (the offscreen platform's own), for tests that switch between the two.
inline QPalette LightPalette() {
    QPalette light(QColor(239, 239, 239), QColor(239, 239, 239));
    light.setColor(QPalette::WindowText, Qt::black);
    light.setColor(QPalette::Text, Qt::black);
    light.setColor(QPalette::ButtonText, Qt::black);
    light.setColor(QPalette::Base, Qt::white);
    return light;
}

inline QPalette DarkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(30, 30, 32));
    dark.setColor(QPalette::AlternateBase, QColor(50, 50, 54));
    dark.setColor(QPalette::ToolTipBase, QColor(60, 60, 64));
    dark.setColor(QPalette::ToolTipText, QColor(230, 230, 230));
    dark.setColor(QPalette::PlaceholderText, QColor(140, 140, 140));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(55, 55, 60));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    dark.setColor(QPalette::BrightText, QColor(255, 90, 90));
    dark.setColor(QPalette::Link, QColor(110, 170, 255));
    dark.setColor(QPalette::Highlight, QColor(60, 120, 200));
    dark.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
    dark.setColor(QPalette::Light, QColor(80, 80, 85));
    dark.setColor(QPalette::Midlight, QColor(65, 65, 70));
    dark.setColor(QPalette::Mid, QColor(40, 40, 44));
    dark.setColor(QPalette::Dark, QColor(25, 25, 28));
    dark.setColor(QPalette::Shadow, QColor(0, 0, 0));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, QColor(120, 120, 120));
    return dark;
}

inline bool& ScreenshotPaletteApplied() {
    static bool applied = false;
    return applied;
}

inline void ApplyScreenshotPalette() {
    if (ScreenshotPaletteApplied() || qEnvironmentVariable("QVX_SCREENSHOT_PALETTE") != "dark")
        return;
    ScreenshotPaletteApplied() = true;
    QApplication::setPalette(DarkPalette());
}

// The dark palette is set when the program makes its first widget, so that every window is built
// under it, as under a dark desktop (colours a window takes once, when it is built, come out as
// they would there).
class EarlyScreenshotPalette : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent*) override {
        if (watched->isWidgetType()) {
            qApp->removeEventFilter(this);
            ApplyScreenshotPalette();
        }
        return false;
    }
};

inline void InstallEarlyScreenshotPalette() {
    if (qEnvironmentVariable("QVX_SCREENSHOT_PALETTE") == "dark")
        qApp->installEventFilter(new EarlyScreenshotPalette);
}
Q_COREAPP_STARTUP_FUNCTION(InstallEarlyScreenshotPalette)

inline QString ScreenshotPath(const QString& name) {
    QDir().mkpath(QVX_SCREENSHOT_DIR);
    const QString suffix = qEnvironmentVariable("QVX_SCREENSHOT_SUFFIX");
    const QString full = name.endsWith(suffix) ? name : name + suffix;
    return QString(QVX_SCREENSHOT_DIR) + "/" + full + ".png";
}

inline void GrabScreenshot(QWidget* widget, const QString& name) {
    ApplyScreenshotPalette();
    // The window whose making set the palette was not yet listed when the change went out.
    if (ScreenshotPaletteApplied()) {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            QEvent changed(QEvent::ApplicationPaletteChange);
            QApplication::sendEvent(window, &changed);
        }
    }
    widget->grab().save(ScreenshotPath(name));
}

}  // namespace qvx::test
