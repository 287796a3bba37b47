#include "app/menus.h"

namespace qvx {

namespace {

using enum MenuItem;
constexpr auto kSideFireOnly = MenuAvailability::SideFireSets;
constexpr auto kForwardFireOnly = MenuAvailability::ForwardFireSets;
constexpr auto kEngineering = MenuAvailability::EngineeringSets;

struct ItemView {
    MenuItem item;
    ViewCode view;
};

// Traffic opens the display that fits the sensor; the main window decides which.
constexpr ItemView kItemViews[] = {
    {LaneConfiguration, ViewCode::LaneConfiguration},
    {Traffic, ViewCode::SideFireTraffic},
    {Download, ViewCode::Download},
    {FirmwareUpload, ViewCode::FirmwareUpload},
    {IntervalData, ViewCode::IntervalData},
    {DataAcquisition, ViewCode::DataAcquisition},
    {Hyperterminal, ViewCode::Terminal},
    {PllUtility, ViewCode::PllUtility},
    {MemoryView, ViewCode::MemoryView},
    {SensorSettings, ViewCode::SensorSettings},
    {SensorDateTime, ViewCode::SensorDateTime},
    {ExportLog, ViewCode::Export},
    {Setup, ViewCode::StudySetup},
};

// Items that need a sensor: greyed while none is connected unless the offline items are enabled.
constexpr MenuItem kOnlineItems[] = {
    SensorInfo,     LaneConfiguration, Traffic,       IntervalData, FirmwareUpload,
    SensorDateTime, Download,          Hyperterminal, Properties,   Setup};
constexpr MenuItem kEngineeringTools[] = {DataAcquisition, PllUtility, MemoryView};
// Items a sensor still configuring its lanes (configuration mode '0') cannot serve yet.
constexpr MenuItem kNeedConfiguredLanes[] = {Traffic, IntervalData, Download, Setup};

MenuSet ChooseSet(bool side_fire, bool engineering) {
    if (side_fire)
        return engineering ? MenuSet::SideFireEngineering : MenuSet::SideFire;
    return engineering ? MenuSet::ForwardFireEngineering : MenuSet::ForwardFire;
}

template <std::size_t N>
void SetEnabled(MenuPlan& plan, const MenuItem (&items)[N], bool enabled) {
    for (MenuItem item : items)
        plan.state(item).enabled = enabled;
}

void PlanConnected(const MenuInputs& inputs, MenuPlan& plan) {
    plan.set = ChooseSet(inputs.side_fire, inputs.engineering);
    plan.default_view = inputs.side_fire ? ViewCode::LaneConfiguration : ViewCode::ForwardFireTraffic;
    plan.state(NewSerial).checked = inputs.link_kind == LinkKind::Serial;
    plan.state(NewModem).checked = inputs.link_kind == LinkKind::Modem;
    plan.state(NewInternet).checked = inputs.link_kind == LinkKind::Internet;
    // Raw acquisition streams at line speed; only a direct serial line keeps up with it.
    plan.state(DataAcquisition).enabled = inputs.link_kind == LinkKind::Serial;

    if (inputs.side_fire) {
        if (inputs.config_mode == config_mode::kAutoConfiguring)
            SetEnabled(plan, kNeedConfiguredLanes, false);
        else if (inputs.config_mode == config_mode::kConfigured)
            plan.default_view = ViewCode::SideFireTraffic;
    }
    if (!inputs.open_view)
        plan.state(FirmwareUpload).enabled = false;
    plan.open_default_view = inputs.open_view;
}

void PlanDisconnected(const MenuInputs& inputs, MenuPlan& plan) {
    // A forward-fire menu without a sensor never offers the engineering tools.
    plan.set = inputs.side_fire ? ChooseSet(true, inputs.engineering) : MenuSet::ForwardFire;
    plan.state(CloseConnection).enabled = false;
    SetEnabled(plan, kOnlineItems, inputs.offline_items_enabled);
    SetEnabled(plan, kEngineeringTools, false);
}

}  // namespace

const std::vector<MenuEntry>& MenuTable() {
    static const std::vector<MenuEntry> table = {
        {"File/New Connection/Serial", NewSerial},
        {"File/New Connection/Modem", NewModem},
        {"File/New Connection/Internet", NewInternet},
        {"File/Properties", Properties},
        {"File/Sensor Info", SensorInfo},
        {"File/Close Connection", CloseConnection},
        {"File/-", std::nullopt},
        {"File/Address Book/New", AddressBookNew},
        {"File/Address Book/Open Modem Entries", AddressBookOpenModem},
        {"File/Address Book/Open Internet Entries", AddressBookOpenInternet},
        {"File/Data Logs/Download Log/New", DownloadLogNew},
        {"File/Data Logs/Download Log/Open", DownloadLogOpen},
        {"File/Data Logs/Interval Log/New", IntervalLogNew},
        {"File/Data Logs/Interval Log/Open", IntervalLogOpen},
        {"File/Data Logs/Event Log/New", EventLogNew},
        {"File/Data Logs/Event Log/Open", EventLogOpen},
        {"File/Data Logs/Export", ExportLog},
        {"File/Data Logs/Chart of a Log...", ChartLog},
        {"File/-", std::nullopt},
        {"File/Exit", Exit},
        {"Edit/Lane Configuration", LaneConfiguration, kSideFireOnly},
        {"Edit/Sensor Settings", SensorSettings},
        {"Edit/Sensor Date & Time", SensorDateTime},
        {"Edit/Operating Mode/Side Fire", SideFire},
        {"Edit/Operating Mode/Forward Fire", ForwardFire},
        {"View/Traffic (Event Data)", Traffic, kSideFireOnly},
        {"View/Traffic", Traffic, kForwardFireOnly},
        {"View/Interval Data", IntervalData, kSideFireOnly},
        {"Data Collection/Setup", Setup},
        {"Data Collection/Download", Download},
        {"Tools/Hyperterminal", Hyperterminal},
        {"Tools/Firmware Upload", FirmwareUpload},
        {"Tools/Communication Log", CommunicationLog},
        {"Tools/-", std::nullopt, kEngineering},
        {"Tools/Data Acquisition", DataAcquisition, kEngineering},
        {"Tools/PLL Utility", PllUtility, kEngineering},
        {"Tools/Memory View", MemoryView, kEngineering},
        {"Help/Table of Contents", HelpContents},
        {"Help/About", About},
    };
    return table;
}

bool IsEngineeringSet(MenuSet set) {
    return set == MenuSet::SideFireEngineering || set == MenuSet::ForwardFireEngineering;
}

bool IsForwardFireSet(MenuSet set) {
    return set == MenuSet::ForwardFire || set == MenuSet::ForwardFireEngineering;
}

bool MenuSetHas(MenuSet set, const MenuEntry& entry) {
    switch (entry.availability) {
        case MenuAvailability::AllSets:
            return true;
        case MenuAvailability::SideFireSets:
            return !IsForwardFireSet(set);
        case MenuAvailability::ForwardFireSets:
            return IsForwardFireSet(set);
        case MenuAvailability::EngineeringSets:
            return IsEngineeringSet(set);
    }
    return false;
}

std::optional<ViewCode> ViewOfItem(MenuItem item) {
    for (const ItemView& pair : kItemViews) {
        if (pair.item == item)
            return pair.view;
    }
    return std::nullopt;
}

std::optional<MenuItem> ItemOfView(ViewCode view) {
    if (view == ViewCode::ForwardFireTraffic)
        return Traffic;
    for (const ItemView& pair : kItemViews) {
        if (pair.view == view)
            return pair.item;
    }
    return std::nullopt;
}

MenuPlan PlanMenus(const MenuInputs& inputs) {
    MenuPlan plan;
    if (inputs.connected)
        PlanConnected(inputs, plan);
    else
        PlanDisconnected(inputs, plan);
    plan.state(SideFire).checked = inputs.side_fire;
    plan.state(ForwardFire).checked = !inputs.side_fire;
    return plan;
}

}  // namespace qvx
