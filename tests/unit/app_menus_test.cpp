// The menu rule: which set, which items enabled and checked, and which view opens, for each state
// of the connection.

#include <gtest/gtest.h>

#include <set>

#include "app/menus.h"

namespace qvx {
namespace {

using enum MenuItem;

MenuInputs Connected(bool side_fire, int mode, LinkKind kind = LinkKind::Internet) {
    MenuInputs inputs;
    inputs.connected = true;
    inputs.link_kind = kind;
    inputs.side_fire = side_fire;
    inputs.config_mode = mode;
    inputs.open_view = true;
    return inputs;
}

std::set<MenuItem> ItemsOf(MenuSet set) {
    std::set<MenuItem> items;
    for (const MenuEntry& entry : MenuTable()) {
        if (entry.item && MenuSetHas(set, entry))
            items.insert(*entry.item);
    }
    return items;
}

TEST(MenuSets, SideFireSetsOfferLanesAndIntervalDataEngineeringSetsTheTools) {
    const std::set<MenuItem> tools = {DataAcquisition, PllUtility, MemoryView};
    struct Row {
        MenuSet set;
        bool lanes;
        bool tools;
    };
    for (const Row& row :
         {Row{MenuSet::SideFire, true, false}, Row{MenuSet::SideFireEngineering, true, true},
          Row{MenuSet::ForwardFire, false, false}, Row{MenuSet::ForwardFireEngineering, false, true}}) {
        const auto items = ItemsOf(row.set);
        SCOPED_TRACE(static_cast<int>(row.set));
        EXPECT_EQ(items.count(LaneConfiguration), row.lanes ? 1u : 0u);
        EXPECT_EQ(items.count(IntervalData), row.lanes ? 1u : 0u);
        EXPECT_EQ(items.count(Traffic), 1u);
        for (MenuItem tool : tools)
            EXPECT_EQ(items.count(tool), row.tools ? 1u : 0u);
    }
}

TEST(MenuSets, TrafficIsNamedByTheSensorKind) {
    std::vector<std::string> labels;
    for (const MenuEntry& entry : MenuTable()) {
        if (entry.item == Traffic && MenuSetHas(MenuSet::SideFire, entry))
            labels.push_back(entry.path);
        if (entry.item == Traffic && MenuSetHas(MenuSet::ForwardFireEngineering, entry))
            labels.push_back(entry.path);
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"View/Traffic (Event Data)", "View/Traffic"}));
}

TEST(PlanMenus, ConnectedSetFollowsDetectedModeAndAccess) {
    struct Row {
        bool side_fire;
        bool engineering;
        MenuSet set;
        ViewCode view;
    };
    for (const Row& row : {Row{true, false, MenuSet::SideFire, ViewCode::SideFireTraffic},
                           Row{true, true, MenuSet::SideFireEngineering, ViewCode::SideFireTraffic},
                           Row{false, false, MenuSet::ForwardFire, ViewCode::ForwardFireTraffic},
                           Row{false, true, MenuSet::ForwardFireEngineering, ViewCode::ForwardFireTraffic}}) {
        MenuInputs inputs = Connected(row.side_fire, config_mode::kConfigured);
        inputs.engineering = row.engineering;
        const MenuPlan plan = PlanMenus(inputs);
        EXPECT_EQ(plan.set, row.set);
        EXPECT_EQ(plan.default_view, row.view);
        EXPECT_TRUE(plan.open_default_view);
        EXPECT_EQ(plan.state(SideFire).checked, row.side_fire);
        EXPECT_EQ(plan.state(ForwardFire).checked, !row.side_fire);
        EXPECT_TRUE(plan.state(CloseConnection).enabled);
    }
}

TEST(PlanMenus, ConfigurationModeDecidesSideFireDefaultView) {
    struct Row {
        int mode;
        ViewCode view;
        bool traffic_enabled;
    };
    for (const Row& row : {Row{config_mode::kAutoConfiguring, ViewCode::LaneConfiguration, false},
                           Row{config_mode::kConfigured, ViewCode::SideFireTraffic, true},
                           Row{config_mode::kManual, ViewCode::LaneConfiguration, true},
                           Row{config_mode::kFailed, ViewCode::LaneConfiguration, true},
                           Row{config_mode::kUndecided, ViewCode::LaneConfiguration, true}}) {
        SCOPED_TRACE(row.mode);
        const MenuPlan plan = PlanMenus(Connected(true, row.mode));
        EXPECT_EQ(plan.default_view, row.view);
        for (MenuItem item : {Traffic, IntervalData, Download, MenuItem::Setup})
            EXPECT_EQ(plan.state(item).enabled, row.traffic_enabled);
        EXPECT_TRUE(plan.state(LaneConfiguration).enabled);
    }
}

TEST(PlanMenus, ForwardFireIgnoresConfigurationMode) {
    const MenuPlan plan = PlanMenus(Connected(false, config_mode::kAutoConfiguring));
    EXPECT_EQ(plan.default_view, ViewCode::ForwardFireTraffic);
    EXPECT_TRUE(plan.state(Traffic).enabled);
    EXPECT_TRUE(plan.state(Download).enabled);
}

TEST(PlanMenus, OpenLinkKindIsCheckedAndAcquisitionNeedsSerial) {
    struct Row {
        LinkKind kind;
        MenuItem checked;
        bool acquisition;
    };
    for (const Row& row : {Row{LinkKind::Serial, NewSerial, true}, Row{LinkKind::Modem, NewModem, false},
                           Row{LinkKind::Internet, NewInternet, false}}) {
        MenuInputs inputs = Connected(true, config_mode::kManual, row.kind);
        inputs.engineering = true;
        const MenuPlan plan = PlanMenus(inputs);
        for (MenuItem item : {NewSerial, NewModem, NewInternet})
            EXPECT_EQ(plan.state(item).checked, item == row.checked);
        EXPECT_EQ(plan.state(DataAcquisition).enabled, row.acquisition);
        EXPECT_TRUE(plan.state(PllUtility).enabled);
    }
}

TEST(PlanMenus, WithoutOpeningAViewFirmwareUploadIsDisabled) {
    MenuInputs inputs = Connected(true, config_mode::kManual);
    inputs.open_view = false;
    const MenuPlan plan = PlanMenus(inputs);
    EXPECT_FALSE(plan.state(FirmwareUpload).enabled);
    EXPECT_FALSE(plan.open_default_view);
}

TEST(PlanMenus, DisconnectedGreysSensorItemsUnlessOfflineItemsAreOn) {
    const MenuItem online[] = {SensorInfo,     LaneConfiguration, Traffic,  IntervalData,
                               FirmwareUpload, SensorDateTime,    Download, Hyperterminal,
                               Properties,     MenuItem::Setup};
    for (bool offline : {false, true}) {
        MenuInputs inputs;
        inputs.engineering = true;
        inputs.offline_items_enabled = offline;
        const MenuPlan plan = PlanMenus(inputs);
        EXPECT_EQ(plan.set, MenuSet::SideFireEngineering);
        for (MenuItem item : online)
            EXPECT_EQ(plan.state(item).enabled, offline) << static_cast<int>(item);
        for (MenuItem item : {DataAcquisition, PllUtility, MemoryView, CloseConnection})
            EXPECT_FALSE(plan.state(item).enabled);
        for (MenuItem item : {NewSerial, NewModem, NewInternet}) {
            EXPECT_FALSE(plan.state(item).checked);
            EXPECT_TRUE(plan.state(item).enabled);
        }
        EXPECT_FALSE(plan.default_view.has_value());
    }
}

TEST(PlanMenus, DisconnectedForwardFireUsesTheNormalSetEvenWithEngineering) {
    MenuInputs inputs;
    inputs.side_fire = false;
    inputs.engineering = true;
    const MenuPlan plan = PlanMenus(inputs);
    EXPECT_EQ(plan.set, MenuSet::ForwardFire);
    EXPECT_TRUE(plan.state(ForwardFire).checked);
    EXPECT_FALSE(plan.state(SideFire).checked);
}

TEST(MenuViews, ItemsAndViewsMapBothWays) {
    for (int code = 0; code <= static_cast<int>(ViewCode::StudySetup); ++code) {
        const auto view = static_cast<ViewCode>(code);
        if (view == ViewCode::ConnectionChooser)
            continue;
        const auto item = ItemOfView(view);
        ASSERT_TRUE(item.has_value()) << code;
        if (view != ViewCode::ForwardFireTraffic) {
            EXPECT_EQ(ViewOfItem(*item), view);
        }
    }
    EXPECT_EQ(ItemOfView(ViewCode::ForwardFireTraffic), Traffic);
}

}  // namespace
}  // namespace qvx
