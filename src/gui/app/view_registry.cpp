// Every working view the program has, one line each. A code not listed here opens nothing.

#include "app/chooser_view.h"
#include "app/clock_view.h"
#include "app/main_window.h"
#include "app/view_factory.h"

#include <QAction>
#include <QTimer>
#include "export/export_wizard.h"
#include "live/forward_fire_event_view.h"
#include "firmware/firmware_upload_view.h"
#include "lanes/lane_configuration_view.h"
#include "live/interval_view.h"
#include "live/skelda_view.h"
#include "stored/download_view.h"
#include "stored/study_setup_view.h"
#include "tools/data_acquisition_view.h"
#include "tools/memory_view.h"
#include "tools/pll_utility_view.h"
#include "tools/terminal_view.h"

namespace qvx::gui {

namespace {

// The lane view asks the main window to close it, and to follow the sensor's mode in the menus.
LaneConfigurationView::Hooks LaneViewHooks(MainWindow& window) {
    LaneConfigurationView::Hooks hooks;
    hooks.close_view = [&window] { QTimer::singleShot(0, &window, [&window] { window.closeCurrentView(); }); };
    hooks.mode_menus = [&window](bool automatic) {
        for (MenuItem item : {MenuItem::Traffic, MenuItem::IntervalData, MenuItem::Setup, MenuItem::Download}) {
            if (QAction* action = window.menuAction(item)) {
                action->setEnabled(!automatic);
            }
        }
    };
    return hooks;
}

}  // namespace

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
    factory.add(ViewCode::Download,
                [](ViewContext& c, QWidget* p) { return new DownloadView(c.app, c.operations, p); });
    factory.add(ViewCode::StudySetup,
                [](ViewContext& c, QWidget* p) { return new StudySetupView(c.app, c.operations, p); });
    factory.add(ViewCode::FirmwareUpload,
                [](ViewContext& c, QWidget* p) { return new FirmwareUploadView(c.app, c.operations, p); });
    factory.add(ViewCode::Export, [](ViewContext& c, QWidget* p) {
        return new ExportWizard(c.app, c.main_window.lastViewCode(), p);
    });
    factory.add(ViewCode::ConnectionChooser,
                [](ViewContext& c, QWidget* p) { return new ChooserView(c.main_window, p); });
    factory.add(ViewCode::Terminal, [](ViewContext& c, QWidget* p) { return new TerminalView(c.app, p); });
    factory.add(ViewCode::DataAcquisition,
                [](ViewContext& c, QWidget* p) { return new DataAcquisitionView(c.app, p); });
    factory.add(ViewCode::PllUtility,
                [](ViewContext& c, QWidget* p) { return new PllUtilityView(c.app, p); });
    factory.add(ViewCode::LaneConfiguration, [](ViewContext& c, QWidget* p) {
        return new LaneConfigurationView(c.app, LaneViewHooks(c.main_window), p);
    });
    factory.add(ViewCode::MemoryView, [](ViewContext& c, QWidget* p) { return new MemoryView(c.app, p); });
}

}  // namespace qvx::gui
