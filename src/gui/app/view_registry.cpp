// Every working view the program has, one line each. A code not listed here opens a placeholder.

#include "app/chooser_view.h"
#include "app/clock_view.h"
#include "app/main_window.h"
#include "app/view_factory.h"
#include "export/export_wizard.h"
#include "live/forward_fire_event_view.h"
#include "live/interval_view.h"
#include "live/skelda_view.h"

namespace qvx::gui {

void RegisterViews(ViewFactory& factory) {
    factory.add(ViewCode::IntervalData,
                [](ViewContext& c, QWidget* p) { return new IntervalView(c.app, c.operations, p); });
    factory.add(ViewCode::ForwardFireTraffic,
                [](ViewContext& c, QWidget* p) { return new ForwardFireEventView(c.app, c.operations, p); });
    factory.add(ViewCode::SideFireTraffic,
                [](ViewContext& c, QWidget* p) { return new SkeldaView(c.app, p); });
    factory.add(ViewCode::SensorDateTime, [](ViewContext& c, QWidget* p) {
        return new ClockView(c.app, c.operations, &c.main_window, p);
    });
    factory.add(ViewCode::Export, [](ViewContext& c, QWidget* p) {
        return new ExportWizard(c.app, c.main_window.lastViewCode(), p);
    });
    factory.add(ViewCode::ConnectionChooser,
                [](ViewContext& c, QWidget* p) { return new ChooserView(c.main_window, p); });
}

}  // namespace qvx::gui
