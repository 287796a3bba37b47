#include "app/view_factory.h"

#include <QLabel>
#include <QVBoxLayout>

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
    if (found == creators_.end())
        return new PlaceholderView(code, parent);
    return found->second(context, parent);
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

PlaceholderView::PlaceholderView(ViewCode code, QWidget* parent) : WorkingView(parent), code_(code) {
    setObjectName("placeholderView");
    auto* title = new QLabel(ViewTitle(code));
    QFont font = title->font();
    font.setPointSizeF(font.pointSizeF() * 1.4);
    font.setBold(true);
    title->setFont(font);
    title->setAlignment(Qt::AlignCenter);
    auto* text = new QLabel("This view is not available yet in this version of Quorvix Manager.");
    text->setObjectName("placeholderText");
    text->setAlignment(Qt::AlignCenter);
    text->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 30, 40, 30);
    layout->setSpacing(12);
    layout->addWidget(title);
    layout->addWidget(text);
    setMinimumSize(420, 160);
}

}  // namespace qvx::gui
