#pragma once
// The firmware compatibility check: after a connection, and before switching the sensor's
// operating mode, the sensor's firmware version is compared with the built-in bundle's; the check
// decides which bundle images would have to be loaded (the upload plan) and, when the versions
// differ, lets the user choose between uploading, continuing and leaving the program.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "firmware/firmware_bundle.h"
#include "firmware/firmware_version.h"
#include "protocol/user_prompts.h"

namespace qvx {

class SensorProtocol;

enum class FireMode { SideFire, ForwardFire };

// Outcomes of CheckCompatibility.
namespace compatibility_outcome {
inline constexpr int kVersionUnreadable = 1;
inline constexpr int kMatch = 2;
inline constexpr int kUpload = 3;
inline constexpr int kContinue = 4;  // also the value before any choice
inline constexpr int kExit = 5;
}  // namespace compatibility_outcome

// Upload plan: which bundle segments are to be loaded. 0 nothing, 1 side-fire DSP, 2 forward-fire
// DSP; 3 added when the FPGA image is loaded too.
namespace upload_plan {
inline constexpr int kNone = 0;
inline constexpr int kSideFireDsp = 1;
inline constexpr int kForwardFireDsp = 2;
inline constexpr int kFpga = 3;
}  // namespace upload_plan

bool PlanIncludesFpga(int plan);
// The DSP segment a plan loads, if any.
std::optional<BundleSegmentId> PlanDspSegment(int plan);

inline constexpr const char* kIncompatiblePrimaryText =
    "The primary version of this Quorvix Manager is not compatible with your Quorvix!";
inline constexpr const char* kIncompatibleWindowTitle = "Warning - incompatible firmware/software...";
inline constexpr const char* kIncompatibleWindowText =
    "The sensor's firmware is incompatible with this version of Quorvix Manager.  To insure proper function, "
    "it "
    "is recommended that you load compatible firmware by clicking the  < UPLOAD >  button.";
inline constexpr const char* kSensorColumn = "Sensor";
inline constexpr const char* kManagerColumn = "Quorvix Mgr.";

struct PlanDecision {
    bool match = false;                 // every compared field equal
    bool incompatible_primary = false;  // primaries differ beyond the v1 -> v2 upgrade: nothing planned
    int plan = upload_plan::kNone;
};

// The pure decision: without a target (after a connection) or with the mode being switched to.
PlanDecision ComparePlan(const SensorVersion& sensor, const BundleVersion& bundle,
                         std::optional<FireMode> target);

// One row of the comparison table the window shows on "View Details".
struct ComparisonRow {
    std::string label;
    std::string sensor;
    std::string manager;
    bool differs = false;
};
std::vector<ComparisonRow> ComparisonTable(const SensorVersion& sensor, const BundleVersion& bundle);

// Everything one check found out, for the caller and for the window.
struct CompatibilityState {
    SensorVersion sensor;
    BundleVersion bundle;
    std::optional<FireMode> target;
    PlanDecision decision;
    std::vector<ComparisonRow> rows;
    int outcome = compatibility_outcome::kContinue;
    int plan() const { return decision.plan; }
};

// Reads the sensor's version reply; returns a TransactionResult.
using VersionReader = std::function<TransactionResult(std::string& reply)>;
// The compatibility window: returns kUpload, kContinue or kExit.
using CompatibilityChooser = std::function<int(const CompatibilityState&)>;

// The check as a procedure. Without a chooser the versions-differ case ends with kContinue and the
// caller shows the window itself from the returned state. "UPLOAD" is only taken with a plan.
CompatibilityState CheckCompatibility(const VersionReader& read_version, UserPrompts& prompts,
                                      const BundleVersion& bundle, std::optional<FireMode> target,
                                      const CompatibilityChooser& choose = {});

// Sends "S5": reported, one retry, link recovery allowed.
TransactionResult ReadSensorVersion(SensorProtocol& protocol, std::string& reply);

CompatibilityState CheckCompatibility(SensorProtocol& protocol, const BundleVersion& bundle,
                                      std::optional<FireMode> target,
                                      const CompatibilityChooser& choose = {});

}  // namespace qvx
