#include "app/view_factory.h"

namespace qvx::gui {

void RegisterViews(ViewFactory& factory);  // view_registry.cpp

ViewFactory::ViewFactory() {
    RegisterViews(*this);
}

ViewFactory& ViewFactory::instance() {
    static ViewFactory factory;
    return factory;
}

WorkingView* ViewFactory::create(ViewCode code, ViewContext& context, QWidget* parent) const {
    const auto found = creators_.find(code);
    return found == creators_.end() ? nullptr : found->second(context, parent);
}

QString ViewTitle(ViewCode code) {
    switch (code) {
        case ViewCode::LaneConfiguration:
            return "Lane Configuration";
        case ViewCode::SideFireTraffic:
            return "Traffic (Event Data)";
        case ViewCode::Download:
            return "Download";
        case ViewCode::FirmwareUpload:
            return "Firmware Upload";
        case ViewCode::ForwardFireTraffic:
            return "Traffic";
        case ViewCode::IntervalData:
            return "Interval Data";
        case ViewCode::DataAcquisition:
            return "Data Acquisition";
        case ViewCode::Terminal:
            return "Hyperterminal";
        case ViewCode::PllUtility:
            return "PLL Utility";
        case ViewCode::MemoryView:
            return "Memory View";
        case ViewCode::SensorSettings:
            return "Sensor Settings";
        case ViewCode::SensorDateTime:
            return "Sensor Date and Time";
        case ViewCode::ConnectionChooser:
            return "Connection Type";
        case ViewCode::Export:
            return "Export";
        case ViewCode::StudySetup:
            return "Study Setup";
    }
    return {};
}

}  // namespace qvx::gui
