#pragma once
// The main window's menus as data: the four menu sets, every item with its place, and the rule
// that chooses the set, the items' enabled and checked states and the default view from the state
// of the connection. The window only installs what PlanMenus computes.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/view_code.h"
#include "connect/operating_mode.h"
#include "link/connection_state.h"

namespace qvx {

enum class MenuItem : int {
    NewSerial,
    NewModem,
    NewInternet,
    Properties,
    SensorInfo,
    CloseConnection,
    AddressBookNew,
    AddressBookOpenModem,
    AddressBookOpenInternet,
    DownloadLogNew,
    DownloadLogOpen,
    IntervalLogNew,
    IntervalLogOpen,
    EventLogNew,
    EventLogOpen,
    ExportLog,
    Exit,
    LaneConfiguration,
    SensorSettings,
    SensorDateTime,
    SideFire,
    ForwardFire,
    Traffic,
    IntervalData,
    Setup,
    Download,
    Hyperterminal,
    FirmwareUpload,
    DataAcquisition,
    PllUtility,
    MemoryView,
    HelpContents,
    About,
    ChartLog,  // Data Logs: a chart of an interval log
    CommunicationLog,
    Count,
};
inline constexpr std::size_t kMenuItemCount = static_cast<std::size_t>(MenuItem::Count);

// The menu sets by their resource numbers.
enum class MenuSet : int {
    SideFire = 102,
    SideFireEngineering = 110,
    ForwardFire = 108,
    ForwardFireEngineering = 109,
};

// Which sets an entry belongs to.
enum class MenuAvailability { AllSets, SideFireSets, ForwardFireSets, EngineeringSets };

// One row of the menu table. path names the menus down to the entry ("File/New Connection/Serial");
// a separator has no item and a path ending in "-".
struct MenuEntry {
    const char* path;
    std::optional<MenuItem> item;
    MenuAvailability availability = MenuAvailability::AllSets;
};

const std::vector<MenuEntry>& MenuTable();
bool MenuSetHas(MenuSet set, const MenuEntry& entry);
bool IsEngineeringSet(MenuSet set);
bool IsForwardFireSet(MenuSet set);

// The view an item opens, and the item of a view (disabled while the view is open).
std::optional<ViewCode> ViewOfItem(MenuItem item);
std::optional<MenuItem> ItemOfView(ViewCode view);

struct MenuInputs {
    bool connected = false;
    LinkKind link_kind = LinkKind::None;
    bool side_fire = true;  // the detected mode when connected, else side_fire_mode
    bool engineering = false;
    bool offline_items_enabled = false;
    int config_mode = config_mode::kUndecided;  // only read when connected
    bool open_view = false;
};

struct MenuItemState {
    bool enabled = true;
    bool checked = false;
};

struct MenuPlan {
    MenuSet set = MenuSet::SideFire;
    std::array<MenuItemState, kMenuItemCount> items{};
    std::optional<ViewCode> default_view;  // connected only
    bool open_default_view = false;

    const MenuItemState& state(MenuItem item) const { return items[static_cast<std::size_t>(item)]; }
    MenuItemState& state(MenuItem item) { return items[static_cast<std::size_t>(item)]; }
};

MenuPlan PlanMenus(const MenuInputs& inputs);

}  // namespace qvx
