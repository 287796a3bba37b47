#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "firmware/firmware_version.h"

namespace qvx {
namespace {

TEST(ExampleSensorVersion, IsThirtySixCharactersWithFieldsWhereSensorInfoReadsThem) {
    EXPECT_EQ(kExampleSensorVersion.size(), 36u);
    EXPECT_EQ(kExampleForwardFireSensorVersion.size(), 36u);
    EXPECT_EQ(kExampleSensorVersion.substr(5, 20), "QVX_v2.30.10.S03.R05");
    EXPECT_EQ(kExampleSensorVersion.substr(32, 4), "0030");
}

TEST(ParseSensorVersion, ReadsEveryField) {
    struct Case {
        std::string reply;
        FirmwareVersion expected;
        char kind;
    };
    const std::vector<Case> cases = {
        {std::string(kExampleSensorVersion), {"v2", "30", "10", "S03", "05"}, 'S'},
        {std::string(kExampleForwardFireSensorVersion), {"v2", "30", "10", "F03", "05"}, 'F'},
        // lower case is upped except the 'v'; the separator before the day need not be followed by R
        {"DSP: abc_v1.7.09.f12_31 FPGA: 0000", {"v1", "0", "09", "F12", "31"}, 'F'},
        {"DSP: X_V2.1.10.S03.R05 FPGA: 0105", {"V2", "105", "10", "S03", "05"}, 'S'},
        // no '_': the fields stay empty, the FPGA version is still read
        {"DSP: v2.30.10.S03.R05 FPGA: 0030", {"", "30", "", "", ""}, 'S'},
        // cut short: every field that is missing stays empty
        {"DSP: Q_v2.3 FPGA: 00", {"v2", "0", "", "", ""}, 'S'},
        {"DSP: Q_v2.30.10.S0FPGA: 1", {"v2", "", "10", "S0FPGA: 1", ""}, 'S'},
    };
    for (const auto& c : cases) {
        const SensorVersion parsed = ParseSensorVersion(c.reply);
        EXPECT_TRUE(parsed.parsed || c.reply.find("FPGA: ") == std::string::npos) << c.reply;
        if (!parsed.parsed) {
            continue;
        }
        EXPECT_EQ(parsed.version.primary, c.expected.primary) << c.reply;
        EXPECT_EQ(parsed.version.fpga, c.expected.fpga) << c.reply;
        EXPECT_EQ(parsed.version.yy, c.expected.yy) << c.reply;
        EXPECT_EQ(parsed.version.amm, c.expected.amm) << c.reply;
        EXPECT_EQ(parsed.version.dd, c.expected.dd) << c.reply;
        EXPECT_EQ(parsed.kind, c.kind) << c.reply;
    }
}

TEST(ParseSensorVersion, WithoutBothMarkersEveryFieldStaysEmpty) {
    for (const char* reply :
         {"DSP: QVX_v2.30.10.S03.R05 FPGA 0030", "QVX_v2.30.10.S03.R05 FPGA: 0030", "", "DSP: "}) {
        const SensorVersion parsed = ParseSensorVersion(reply);
        EXPECT_FALSE(parsed.parsed) << reply;
        EXPECT_EQ(parsed.version, FirmwareVersion{}) << reply;
    }
}

TEST(ParseSensorVersion, FpgaFieldDropsLeadingZeros) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"0030", "30"}, {"0000", "0"}, {"1200", "1200"}, {"03", "3"}, {"", ""}};
    for (const auto& [field, expected] : cases) {
        EXPECT_EQ(ParseSensorVersion("DSP: Q_v2.1.1.S1.R1 FPGA: " + field).version.fpga, expected) << field;
    }
}

TEST(ParseBundleVersion, TakesAmmFieldsOnlyWithTheirLetter) {
    const BundleVersion v = ParseBundleVersion("qvxfw_v2.30.10.s03.f03.05");
    EXPECT_EQ(v.primary, "v2");
    EXPECT_EQ(v.side_fire_amm, "S03");
    EXPECT_EQ(v.forward_fire_amm, "F03");
    EXPECT_EQ(v.ForKind('F').amm, "F03");
    EXPECT_EQ(v.ForKind('S').amm, "S03");
    const BundleVersion swapped = ParseBundleVersion("QVXFW_v2.30.10.F03.S03.05");
    EXPECT_EQ(swapped.side_fire_amm, "");
    EXPECT_EQ(swapped.forward_fire_amm, "");
    EXPECT_EQ(ParseBundleVersion("no separator"), BundleVersion{});
}

TEST(ExampleSensorVersion, MatchesTheBundleName) {
    const BundleVersion bundle = ParseBundleVersion(kBundleName);
    const SensorVersion side = ParseSensorVersion(kExampleSensorVersion);
    const SensorVersion forward = ParseSensorVersion(kExampleForwardFireSensorVersion);
    EXPECT_EQ(side.version, bundle.ForKind(side.kind));
    EXPECT_EQ(forward.version, bundle.ForKind(forward.kind));
}

TEST(VersionReplyIsForwardFire, DecidedByTheFourthDotField) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"DSP: QVX_v2.30.10.F09.R05 FPGA: 0030", true},
        {"DSP: QVX_v2.30.10.f09.R05 FPGA: 0030", true},
        {"DSP: QVX_v2.30.10.S09.R05 FPGA: 0030", false},
        {"DSP: QVX_v2.30.10.fS1.R05 FPGA: 0030", false},
        {"DSP: QVX_v2.30.10", false},
        {"a.b.c.F", true},
    };
    for (const auto& [reply, forward] : cases) {
        EXPECT_EQ(VersionReplyIsForwardFire(reply), forward) << reply;
    }
}

}  // namespace
}  // namespace qvx
