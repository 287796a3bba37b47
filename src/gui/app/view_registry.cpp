// Every working view the program has, one line each. A code not listed here opens a placeholder.

#include "app/chooser_view.h"
#include "app/clock_view.h"
#include "app/main_window.h"
#include "app/view_factory.h"
#include "export/export_wizard.h"
#include "firmware/firmware_upload_view.h"
#include "live/interval_view.h"

namespace qvx::gui {

void RegisterViews(ViewFactory& factory) {
    factory.add(ViewCode::IntervalData,
                [](ViewContext& c, QWidget* p) { return new IntervalView(c.app, c.operations, p); });
    factory.add(ViewCode::SensorDateTime, [](ViewContext& c, QWidget* p) {
        return new ClockView(c.app, c.operations, &c.main_window, p);
    });
    factory.add(ViewCode::FirmwareUpload,
                [](ViewContext& c, QWidget* p) { return new FirmwareUploadView(c.app, c.operations, p); });
    factory.add(ViewCode::Export, [](ViewContext& c, QWidget* p) {
        return new ExportWizard(c.app, c.main_window.lastViewCode(), p);
    });
    factory.add(ViewCode::ConnectionChooser,
                [](ViewContext& c, QWidget* p) { return new ChooserView(c.main_window, p); });
}

}  // namespace qvx::gui
