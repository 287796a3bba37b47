#pragma once
// Creates the working views by code. Each window registers its creator once (one line in
// view_registry.cpp); a code without a creator opens nothing.

#include <QString>
#include <functional>
#include <map>

#include "app/working_view.h"

namespace qvx {
class AppContext;
class SensorOperations;
}  // namespace qvx

namespace qvx::gui {

class MainWindow;

// What a view may need from the program.
struct ViewContext {
    AppContext& app;
    SensorOperations& operations;
    MainWindow& main_window;
};

using ViewCreator = std::function<WorkingView*(ViewContext&, QWidget* parent)>;

class ViewFactory {
  public:
    // The factory with every view the program has.
    static ViewFactory& instance();

    void add(ViewCode code, ViewCreator creator) { creators_[code] = std::move(creator); }
    bool has(ViewCode code) const { return creators_.count(code) != 0; }
    // nullptr for a code without a view (the settings open as a dialog, not as a view).
    WorkingView* create(ViewCode code, ViewContext& context, QWidget* parent) const;

  private:
    ViewFactory();
    std::map<ViewCode, ViewCreator> creators_;
};

// The title a view is known by ("Interval Data").
QString ViewTitle(ViewCode code);

}  // namespace qvx::gui
