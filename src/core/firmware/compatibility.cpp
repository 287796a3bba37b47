#include "firmware/compatibility.h"

#include "protocol/transaction_result.h"

namespace qvx {

namespace {

constexpr const char* kUpgradablePrimary = "v1";
constexpr const char* kBundlePrimaryForUpgrade = "v2";

int DspPlanFor(char kind) {
    return kind == kForwardFireKind ? upload_plan::kForwardFireDsp : upload_plan::kSideFireDsp;
}

int DspPlanFor(FireMode mode) {
    return mode == FireMode::ForwardFire ? upload_plan::kForwardFireDsp : upload_plan::kSideFireDsp;
}

bool IsPrimaryUpgrade(const FirmwareVersion& sensor, const FirmwareVersion& bundle) {
    return sensor.primary == kUpgradablePrimary && bundle.primary == kBundlePrimaryForUpgrade;
}

int PlanForDifference(const SensorVersion& sensor, const FirmwareVersion& bundle) {
    const FirmwareVersion& s = sensor.version;
    if (IsPrimaryUpgrade(s, bundle)) {
        return DspPlanFor(sensor.kind) + upload_plan::kFpga;
    }
    int plan = upload_plan::kNone;
    if (s.yy != bundle.yy || s.amm != bundle.amm || s.dd != bundle.dd) {
        plan = DspPlanFor(sensor.kind);
    }
    if (s.fpga != bundle.fpga) {
        plan += upload_plan::kFpga;
    }
    return plan;
}

}  // namespace

bool PlanIncludesFpga(int plan) {
    return plan >= upload_plan::kFpga && plan <= 5;
}

std::optional<BundleSegmentId> PlanDspSegment(int plan) {
    switch (plan % upload_plan::kFpga) {
        case upload_plan::kSideFireDsp:
            return BundleSegmentId::SideFireDsp;
        case upload_plan::kForwardFireDsp:
            return BundleSegmentId::ForwardFireDsp;
        default:
            return std::nullopt;
    }
}

PlanDecision ComparePlan(const SensorVersion& sensor, const BundleVersion& bundle,
                         std::optional<FireMode> target) {
    const FirmwareVersion expected = bundle.ForKind(sensor.kind);
    const FirmwareVersion& actual = sensor.version;
    PlanDecision decision;
    decision.match = actual == expected;
    decision.incompatible_primary = actual.primary != expected.primary && !IsPrimaryUpgrade(actual, expected);
    if (decision.incompatible_primary) {
        return decision;
    }
    if (target) {
        decision.plan = DspPlanFor(*target) + (actual.fpga != expected.fpga ? upload_plan::kFpga : 0);
    } else if (!decision.match) {
        decision.plan = PlanForDifference(sensor, expected);
    }
    return decision;
}

std::vector<ComparisonRow> ComparisonTable(const SensorVersion& sensor, const BundleVersion& bundle) {
    const FirmwareVersion& s = sensor.version;
    const FirmwareVersion b = bundle.ForKind(sensor.kind);
    auto row = [](const char* label, const std::string& left, const std::string& right) {
        return ComparisonRow{label, left, right, left != right};
    };
    return {row("Version", s.primary, b.primary), row("Programmable Hardware", s.fpga, b.fpga),
            row("YY", s.yy, b.yy), row("AMM", s.amm, b.amm), row("DD.A", s.dd, b.dd)};
}

CompatibilityState CheckCompatibility(const VersionReader& read_version, UserPrompts& prompts,
                                      const BundleVersion& bundle, std::optional<FireMode> target,
                                      const CompatibilityChooser& choose) {
    namespace outcome = compatibility_outcome;
    CompatibilityState state;
    state.bundle = bundle;
    state.target = target;
    std::string reply;
    const TransactionResult result = read_version(reply);
    if (result != TransactionResult::Ok) {
        state.outcome = result == TransactionResult::Exit ? outcome::kExit : outcome::kVersionUnreadable;
        return state;
    }
    state.sensor = ParseSensorVersion(reply);
    state.decision = ComparePlan(state.sensor, bundle, target);
    state.rows = ComparisonTable(state.sensor, bundle);
    if (state.decision.incompatible_primary) {
        prompts.Message({.text = kIncompatiblePrimaryText, .caption = "Warning", .icon = IconKind::Warning});
    }
    if (target) {
        // A mode switch asks nothing: it loads the target's images, or nothing when none fit.
        state.outcome = state.plan() != upload_plan::kNone ? outcome::kUpload : outcome::kContinue;
        return state;
    }
    if (state.decision.match) {
        state.outcome = outcome::kMatch;
        return state;
    }
    if (choose) {
        const int choice = choose(state);
        const bool upload_possible = state.plan() != upload_plan::kNone;
        if (choice == outcome::kExit || (choice == outcome::kUpload && upload_possible)) {
            state.outcome = choice;
        }
    }
    return state;
}

}  // namespace qvx
