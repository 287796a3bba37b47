#include "app/palette_colours.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <vector>

namespace qvx::gui {

namespace {

constexpr const char* kKeeperName = "qvxTextColourKeeper";

QColor Pick(const QPalette& palette, QColor on_light, QColor on_dark) {
    return IsDarkPalette(palette) ? on_dark : on_light;
}

QColor Blend(const QColor& from, const QColor& to, double share_of_to) {
    const auto mix = [share_of_to](int a, int b) {
        return static_cast<int>(a + (b - a) * share_of_to + 0.5);
    };
    return QColor(mix(from.red(), to.red()), mix(from.green(), to.green()), mix(from.blue(), to.blue()));
}

QString StyleFor(TextMeaning meaning, const QString& extra_style) {
    const QPalette palette = QApplication::palette();
    QColor colour;
    switch (meaning) {
        case TextMeaning::Plain:
            return extra_style;
        case TextMeaning::Error:
            colour = ErrorColour(palette);
            break;
        case TextMeaning::Success:
            colour = SuccessColour(palette);
            break;
        case TextMeaning::Quiet:
            colour = QuietTextColour(palette);
            break;
    }
    return QString("color: %1;%2").arg(colour.name(), extra_style.isEmpty() ? "" : " " + extra_style);
}

class TextColourKeeper;

// Only top-level windows and the application hear that the program's palette changed; a child
// with a style sheet does not. One filter on the application passes the news to every keeper.
class PaletteWatcher : public QObject {
  public:
    static PaletteWatcher& Get() {
        static QPointer<PaletteWatcher> watcher;
        if (watcher.isNull()) {
            watcher = new PaletteWatcher(qApp);
        }
        return *watcher;
    }
    void Add(TextColourKeeper* keeper) { keepers_.push_back(keeper); }
    void Remove(TextColourKeeper* keeper) {
        keepers_.erase(std::remove(keepers_.begin(), keepers_.end(), keeper), keepers_.end());
    }
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    explicit PaletteWatcher(QObject* application) : QObject(application) {
        application->installEventFilter(this);
    }
    std::vector<TextColourKeeper*> keepers_;
};

// Lives as the widget's child and sets the style again when the program's palette changes (a
// style sheet colour does not follow the palette by itself).
class TextColourKeeper : public QObject {
  public:
    explicit TextColourKeeper(QWidget* widget)
        : QObject(widget), widget_(widget), watcher_(&PaletteWatcher::Get()) {
        setObjectName(kKeeperName);
        watcher_->Add(this);
    }
    ~TextColourKeeper() override {
        if (!watcher_.isNull()) {
            watcher_->Remove(this);
        }
    }

    void Apply(TextMeaning meaning, const QString& extra_style) {
        meaning_ = meaning;
        extra_style_ = extra_style;
        Refresh();
    }

    void Refresh() {
        const QString style = StyleFor(meaning_, extra_style_);
        if (widget_->styleSheet() != style) {
            widget_->setStyleSheet(style);
        }
    }

  private:
    QWidget* widget_;
    QPointer<PaletteWatcher> watcher_;
    TextMeaning meaning_ = TextMeaning::Plain;
    QString extra_style_;
};

bool PaletteWatcher::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange) {
        for (TextColourKeeper* keeper : keepers_) {
            keeper->Refresh();
        }
    }
    return false;
}

}  // namespace

bool IsDarkPalette(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

QColor ErrorColour(const QPalette& palette) {
    return Pick(palette, QColor(176, 0, 0), QColor(255, 120, 110));
}

QColor SuccessColour(const QPalette& palette) {
    return Pick(palette, QColor(16, 96, 16), QColor(120, 215, 120));
}

QColor AttentionBackground(const QPalette& palette) {
    return Pick(palette, QColor(255, 205, 205), QColor(110, 35, 35));
}

QColor QuietTextColour(const QPalette& palette) {
    return Blend(palette.color(QPalette::WindowText), palette.color(QPalette::Window), 0.35);
}

void ColourText(QWidget* widget, TextMeaning meaning, const QString& extra_style) {
    // The keeper has no meta-object of its own, so it is found by its name.
    auto* keeper =
        static_cast<TextColourKeeper*>(widget->findChild<QObject*>(kKeeperName, Qt::FindDirectChildrenOnly));
    if (keeper == nullptr) {
        if (meaning == TextMeaning::Plain && extra_style.isEmpty()) {
            widget->setStyleSheet({});  // nothing to keep
            return;
        }
        keeper = new TextColourKeeper(widget);
    }
    keeper->Apply(meaning, extra_style);
}

}  // namespace qvx::gui
