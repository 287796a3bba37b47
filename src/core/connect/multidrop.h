#pragma once
// Multi-drop detection: several sensors share one line and each answers only frames that carry
// its 4-character ID. The detection asks every sensor for its ID, mutes each one it has heard
// (so that it stops answering the later polls and cannot hide others) and lists it once.

#include <functional>
#include <string>
#include <vector>

namespace qvx {

class AppContext;
class SensorProtocol;
struct ConnectionState;

inline constexpr int kMultiDropPollSlots = 4;
inline constexpr int kMultiDropEnableRepeats = 4;
inline constexpr int kMuteExtraWaitMs = 500;

struct MultiDropDetection {
    std::vector<std::string> ids;  // in the order they were found
    int count = 0;
    int selected = -1;  // index into ids; -1 while the list is empty
    std::string prompt;
};

// "To complete the connection...\r\nSelect a sensor from among the 3 ID(s) listed below..."
std::string SelectSensorPrompt(int count);

// The detection. Enabling and polling run only while no ID has been found, so calling it again
// with a filled list only rewrites the prompt.
void GatherMultiDropIds(SensorProtocol& protocol, MultiDropDetection& detection);
// "Redetect": switches every sensor's ID responses on again, mutes the sensors already listed
// (so they cannot drown the others) and polls the slots once more, keeping the list.
void RedetectMultiDropIds(SensorProtocol& protocol, MultiDropDetection& detection);

// The selection's Continue: an empty text cancels (false); otherwise the text becomes the
// multi-drop ID the transaction addresses.
bool TakeChosenSensorId(ConnectionState& state, const std::string& text);

// How a connection procedure lets the user pick one of the sensors on the line.
struct SensorSelection {
    bool continued = false;  // false: the user cancelled
    int count = 0;           // IDs found; Continue with 0 IDs is a failure
};
using SensorSelector = std::function<SensorSelection(AppContext&)>;

// A selection without a person: the detection, then preferred_id when it was found (or is typed
// in by hand: any non-empty ID is taken, as the window's edit field would), else the first ID.
SensorSelection SelectSensorIdAutomatically(AppContext& app, const std::string& preferred_id = {});

}  // namespace qvx
