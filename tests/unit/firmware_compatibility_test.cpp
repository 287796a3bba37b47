#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/scripted_prompts.h"
#include "firmware/compatibility.h"
#include "protocol/transaction_result.h"

namespace qvx {
namespace {

namespace outcome = compatibility_outcome;

const BundleVersion kBundle = ParseBundleVersion(kBundleName);  // v2, 30, 10, S03 / F03, 05

SensorVersion Sensor(const std::string& dsp, const std::string& fpga = "0030") {
    return ParseSensorVersion("DSP: " + dsp + " FPGA: " + fpga);
}

TEST(ComparePlan, WithoutTargetPlansWhatDiffers) {
    struct Case {
        const char* name;
        SensorVersion sensor;
        bool match;
        int plan;
        bool incompatible;
    };
    const std::vector<Case> cases = {
        {"same", Sensor("QVX_v2.30.10.S03.R05"), true, 0, false},
        {"fpga 0030 equals 30", Sensor("QVX_v2.1.10.S03.R05", "0030"), true, 0, false},
        {"side-fire day", Sensor("QVX_v2.30.10.S03.R06"), false, 1, false},
        {"forward-fire month", Sensor("QVX_v2.30.10.F02.R05"), false, 2, false},
        {"fpga only", Sensor("QVX_v2.30.10.S03.R05", "0031"), false, 3, false},
        {"side-fire year and fpga", Sensor("QVX_v2.30.09.S03.R05", "0029"), false, 4, false},
        {"forward-fire day and fpga", Sensor("QVX_v2.30.10.F03.R01", "0001"), false, 5, false},
        {"v1 to v2 loads both", Sensor("QVX_v1.30.10.S03.R05"), false, 4, false},
        {"v1 to v2 forward-fire", Sensor("QVX_v1.30.10.F03.R05"), false, 5, false},
        {"other primary", Sensor("QVX_v3.30.10.S03.R05"), false, 0, true},
        {"no version read", ParseSensorVersion("garbage"), false, 0, true},
    };
    for (const auto& c : cases) {
        const PlanDecision decision = ComparePlan(c.sensor, kBundle, std::nullopt);
        EXPECT_EQ(decision.match, c.match) << c.name;
        EXPECT_EQ(decision.plan, c.plan) << c.name;
        EXPECT_EQ(decision.incompatible_primary, c.incompatible) << c.name;
    }
}

TEST(ComparePlan, NewerSensorPrimaryThanBundleIsIncompatible) {
    BundleVersion v1_bundle = kBundle;
    v1_bundle.primary = "v1";
    const PlanDecision decision = ComparePlan(Sensor("QVX_v2.30.10.S03.R05"), v1_bundle, std::nullopt);
    EXPECT_TRUE(decision.incompatible_primary);
    EXPECT_EQ(decision.plan, 0);
}

TEST(ComparePlan, ModeSwitchAlwaysPlansTheTargetDsp) {
    const SensorVersion matching = Sensor("QVX_v2.30.10.S03.R05");
    EXPECT_EQ(ComparePlan(matching, kBundle, FireMode::ForwardFire).plan, 2);
    EXPECT_EQ(ComparePlan(matching, kBundle, FireMode::SideFire).plan, 1);
    EXPECT_EQ(ComparePlan(Sensor("QVX_v2.30.10.S03.R05", "0031"), kBundle, FireMode::ForwardFire).plan, 5);
    EXPECT_EQ(ComparePlan(Sensor("QVX_v1.30.10.S03.R05", "0020"), kBundle, FireMode::SideFire).plan, 4);
    EXPECT_EQ(ComparePlan(Sensor("QVX_v3.30.10.S03.R05"), kBundle, FireMode::SideFire).plan, 0);
}

TEST(UploadPlan, NamesTheSegmentsToLoad) {
    EXPECT_FALSE(PlanIncludesFpga(2));
    EXPECT_TRUE(PlanIncludesFpga(3));
    EXPECT_EQ(PlanDspSegment(0), std::nullopt);
    EXPECT_EQ(PlanDspSegment(3), std::nullopt);
    EXPECT_EQ(PlanDspSegment(4), BundleSegmentId::SideFireDsp);
    EXPECT_EQ(PlanDspSegment(2), BundleSegmentId::ForwardFireDsp);
}

TEST(ComparisonTable, MarksEveryRowWhenTheReplyHadNoFpgaMarker) {
    const auto rows = ComparisonTable(ParseSensorVersion("DSP: QVX_v2.30.10.S03.R05"), kBundle);
    ASSERT_EQ(rows.size(), 5u);
    for (const auto& row : rows) {
        EXPECT_TRUE(row.differs) << row.label;
        EXPECT_EQ(row.sensor, "") << row.label;
    }
    EXPECT_EQ(rows[0].label, "Version");
    EXPECT_EQ(rows[1].label, "Programmable Hardware");
    EXPECT_EQ(rows[3].manager, "S03");
}

TEST(ComparisonTable, ShowsTheBundleAmmOfTheSensorsKind) {
    const auto rows = ComparisonTable(Sensor("QVX_v2.30.10.F03.R06"), kBundle);
    EXPECT_EQ(rows[3].manager, "F03");
    EXPECT_FALSE(rows[3].differs);
    EXPECT_TRUE(rows[4].differs);
}

// The procedure over a scripted version read and window.
struct CheckRun {
    TransactionResult read_result = TransactionResult::Ok;
    std::string reply = std::string(kExampleSensorVersion);
    int choice = outcome::kContinue;
    int window_shown = 0;
    ScriptedPrompts prompts;

    CompatibilityState Run(std::optional<FireMode> target = std::nullopt) {
        auto read = [this](std::string& out) {
            out = reply;
            return read_result;
        };
        auto choose = [this](const CompatibilityState&) {
            ++window_shown;
            return choice;
        };
        return CheckCompatibility(read, prompts, kBundle, target, choose);
    }
};

TEST(CheckCompatibility, OutcomesByReadResultAndChoice) {
    struct Case {
        const char* name;
        TransactionResult read_result;
        std::string reply;
        int choice;
        int outcome;
        int windows;
    };
    const std::string older = "DSP: QVX_v2.30.09.S03.R05 FPGA: 0030";
    const std::string foreign = "DSP: QVX_v3.30.10.S03.R05 FPGA: 0030";
    const std::vector<Case> cases = {
        {"match", TransactionResult::Ok, std::string(kExampleSensorVersion), outcome::kUpload,
         outcome::kMatch, 0},
        {"no reply", TransactionResult::NoResponse, "", outcome::kUpload, outcome::kVersionUnreadable, 0},
        {"ignored", TransactionResult::Ignore, "", outcome::kUpload, outcome::kVersionUnreadable, 0},
        {"cancelled", TransactionResult::Cancel, "", outcome::kUpload, outcome::kVersionUnreadable, 0},
        {"exit while reading", TransactionResult::Exit, "", outcome::kUpload, outcome::kExit, 0},
        {"upload", TransactionResult::Ok, older, outcome::kUpload, outcome::kUpload, 1},
        {"continue", TransactionResult::Ok, older, outcome::kContinue, outcome::kContinue, 1},
        {"exit", TransactionResult::Ok, older, outcome::kExit, outcome::kExit, 1},
        {"upload without a plan", TransactionResult::Ok, foreign, outcome::kUpload, outcome::kContinue, 1},
    };
    for (const auto& c : cases) {
        CheckRun run;
        run.read_result = c.read_result;
        run.reply = c.reply;
        run.choice = c.choice;
        const CompatibilityState state = run.Run();
        EXPECT_EQ(state.outcome, c.outcome) << c.name;
        EXPECT_EQ(run.window_shown, c.windows) << c.name;
    }
}

TEST(CheckCompatibility, IncompatiblePrimaryIsToldBeforeTheWindow) {
    CheckRun run;
    run.reply = "DSP: QVX_v3.30.10.S03.R05 FPGA: 0030";
    run.Run();
    ASSERT_EQ(run.prompts.messages.size(), 1u);
    EXPECT_EQ(run.prompts.messages[0].text, kIncompatiblePrimaryText);
    EXPECT_EQ(run.window_shown, 1);
}

TEST(CheckCompatibility, ModeSwitchUploadsWithoutAsking) {
    CheckRun run;
    const CompatibilityState state = run.Run(FireMode::ForwardFire);
    EXPECT_EQ(state.outcome, outcome::kUpload);
    EXPECT_EQ(state.plan(), upload_plan::kForwardFireDsp);
    EXPECT_EQ(run.window_shown, 0);

    CheckRun foreign;
    foreign.reply = "DSP: QVX_v3.30.10.S03.R05 FPGA: 0030";
    EXPECT_EQ(foreign.Run(FireMode::SideFire).outcome, outcome::kContinue);
    EXPECT_EQ(foreign.prompts.messages.size(), 1u);
}

TEST(CheckCompatibility, WithoutAWindowTheCallerDecides) {
    ScriptedPrompts prompts;
    auto read = [](std::string& out) {
        out = "DSP: QVX_v2.30.10.S03.R04 FPGA: 0030";
        return TransactionResult::Ok;
    };
    const CompatibilityState state = CheckCompatibility(read, prompts, kBundle, std::nullopt);
    EXPECT_EQ(state.outcome, outcome::kContinue);
    EXPECT_EQ(state.plan(), upload_plan::kSideFireDsp);
    EXPECT_TRUE(state.rows[4].differs);
}

}  // namespace
}  // namespace qvx
