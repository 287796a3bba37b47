#include <gtest/gtest.h>

#include <set>
#include <string>

#include "../support/case_name.h"
#include "protocol/catalogue.h"

namespace qvx {
namespace {

const CommandCatalogue& Catalogue() {
    return BuildCommandCatalogue();
}

TEST(CommandCatalogue, HoldsEightyFourRowsWithUniqueRequestCodes) {
    ASSERT_EQ(Catalogue().size(), 84u);
    std::set<std::string> codes;
    for (std::size_t i = 0; i < Catalogue().size(); ++i) {
        codes.insert(Catalogue().DescribeCommand(static_cast<CommandId>(i)).request_code);
    }
    EXPECT_EQ(codes.size(), 84u);
}

TEST(CommandCatalogue, BuiltOnceForTheProcess) {
    EXPECT_EQ(&BuildCommandCatalogue(), &BuildCommandCatalogue());
}

struct FindCase {
    const char* request;
    CommandId index;
};

class FindCommandTest : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindCommandTest, MatchesRequestCodeExactly) {
    EXPECT_EQ(Catalogue().FindCommand(GetParam().request), GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(Rows, FindCommandTest,
                         ::testing::Values(FindCase{"S0", 0}, FindCase{"S8", 16},
                                           FindCase{"S87C3A9E1B5D2F486", 17},
                                           FindCase{"S8468013579246801", 18}, FindCase{"S8B00FF", 19},
                                           FindCase{"XE", 52}, FindCase{"XEE", 53}, FindCase{"B0", 57},
                                           FindCase{"D0Default", 61}, FindCase{"P5", 83}, FindCase{"s0", -1},
                                           FindCase{"S", -1}, FindCase{"S0 ", -1}, FindCase{"", -1},
                                           FindCase{"S8123", -1}),
                         [](const auto& info) { return test::NumberedCaseName(info.index, {info.param.request}); });

struct RowCase {
    CommandId index;
    const char* request;
    const char* response;
    const char* name;
    int min_length;
    int max_length;
    bool checksummed;
    int extra_wait_ms;
    std::uint8_t status_mask;
};

class CatalogueRowTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(CatalogueRowTest, RowAsTabled) {
    const RowCase& expected = GetParam();
    const CommandDescriptor& row = Catalogue().DescribeCommand(expected.index);
    EXPECT_EQ(row.request_code, expected.request);
    EXPECT_EQ(row.response_code, expected.response);
    EXPECT_EQ(row.name, expected.name);
    EXPECT_EQ(row.min_length, expected.min_length);
    EXPECT_EQ(row.max_length, expected.max_length);
    EXPECT_EQ(row.checksummed, expected.checksummed);
    EXPECT_EQ(row.extra_wait_ms, expected.extra_wait_ms);
    EXPECT_EQ(row.status_mask, expected.status_mask);
}

using namespace status_bit;

INSTANTIATE_TEST_SUITE_P(
    Spots, CatalogueRowTest,
    ::testing::Values(
        RowCase{0, "S0", "S0", "Get config info", 167, 167, true, 0, kFailure},
        RowCase{16, "S8", "S8", "Ping for checksum", 1, 36, true, 0, kFailure},
        RowCase{17, "S87C3A9E1B5D2F486", "S8", "Unprotect Sensor", 15, 15, true, 0, kFailure},
        RowCase{20, "S9", "S9", "Start push", -1, -1, false, 0, 0},
        RowCase{25, "SE", "SE", "Save config to FLASH", 0, 0, false, 10000, kSuccess | kFailure},
        RowCase{34, "SH", "SH", "Get connection port", 4, 6, false, 0, 0},
        RowCase{38, "X0", "X0", "Get latest interval", 37, 240, false, 0, kEmpty | kNoLanes},
        RowCase{39, "X1", "X1", "Get actuation", 4, 4, false, kPollWait, 0},
        RowCase{44, "X6", "X6", "Read  memory", 1, 4096, false, 0, kFailure},
        RowCase{51, "XD", "XD", "Get indexed data", 37, 244, true, 2000,
                kFailure | kInvalid | kEmpty | kNoLanes},
        RowCase{53, "XEE", "XE", "Flush SRAM events", 0, 0, false, 0, kSuccess | kFailure},
        RowCase{57, "B0", "B1", "Request multi-drop IDs", -2, -2, false, 250, 0},
        RowCase{61, "D0Default", "D0", "Reset sensor to defaults", 0, 0, false, 0, kSuccess | kFailure},
        RowCase{62, "D1", "D1", "Upload dsp packet", 5, 8, false, 10000, kSuccess | kFailure},
        RowCase{67, "D6", "D6", "Get dsp upload status", 0, 0, false, 10000,
                kSuccess | kFailure | kReady | kNull},
        RowCase{77, "F7P0", "F7P0", "Read from port", 4, 4, false, 0, kFailure | kInvalid},
        RowCase{83, "P5", "P5", "Read PLL R Register", 8, 8, false, 0, 0}),
    [](const auto& info) { return test::CaseName({std::to_string(info.param.index), info.param.request}); });

TEST(CommandCatalogue, ResponseCodeDiffersOnlyForTheKnownRequests) {
    const std::set<std::string> differing = {"S87C3A9E1B5D2F486", "S8468013579246801", "S8B00FF", "B0", "XEE",
                                             "D0Default"};
    for (std::size_t i = 0; i < Catalogue().size(); ++i) {
        const CommandDescriptor& row = Catalogue().DescribeCommand(static_cast<CommandId>(i));
        EXPECT_EQ(row.request_code != row.response_code, differing.count(row.request_code) == 1)
            << row.request_code;
        EXPECT_LE(row.min_length, row.max_length) << row.request_code;
    }
}

}  // namespace
}  // namespace qvx
