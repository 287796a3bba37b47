// The simulated sensor without I/O: replies for the whole catalogue, records, traffic, buffers,
// firewall, clock and the multi-drop rules.

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

#include "../support/reply_check.h"
#include "protocol/catalogue.h"
#include "protocol/frame.h"
#include "simulated_sensor.h"

namespace qvx::sim {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kStart2010 = 0x12CFF780;  // 2010-01-01 00:00:00 in sensor seconds

SensorSettings FixedClock(std::uint32_t seed = 7) {
    SensorSettings settings;
    settings.seed = seed;
    settings.clock_start = kStart2010 + 5;
    return settings;
}

std::string Ask(SimulatedSensor& sensor, const std::string& frame) {
    return sensor.HandleFrame(frame).text;
}

std::string Unprotect() {
    return cmd::kUnprotect;
}

std::string WithChecksum(const std::string& record) {
    return record + ComputeFrameChecksum(record);
}

// A well-formed payload for every command that takes one.
std::string PayloadFor(SimulatedSensor& sensor, const std::string& code) {
    static const std::map<std::string, RecordKind> writes = {
        {"S1", RecordKind::Config},      {"S11", RecordKind::Extended}, {"S12", RecordKind::Collection},
        {"S2", RecordKind::SfAlgorithm}, {"S2N", RecordKind::SfNoise},  {"S20", RecordKind::SfOccupancy},
        {"SF0", RecordKind::Ff0},        {"SF1", RecordKind::Ff1},      {"SF2", RecordKind::Ff2},
        {"SF3", RecordKind::Ff3}};
    static const std::map<std::string, std::string> arguments = {
        {"S4", "12CFF780"}, {"SD", "2"},        {"S8", "123"},      {"XD", "0001"},
        {"X6", "00000010"}, {"D5", "0000ABCD"}, {"F3", "0000ABCD"}, {"P0", "00123456"},
        {"P2", "00123456"}, {"P4", "00123456"}, {"B0", "00"},       {"F6", "hello"}};
    if (const auto write = writes.find(code); write != writes.end()) {
        return WithChecksum(sensor.Record(write->second));
    }
    if (code == "S7") {
        return sensor.Record(RecordKind::Config).substr(151, 4);
    }
    const auto argument = arguments.find(code);
    return argument == arguments.end() ? "" : argument->second;
}

TEST(SimSensorCatalogue, EveryCommandGetsAWellFormedReplyOrTheSilenceItsRowExpects) {
    const CommandCatalogue& catalogue = BuildCommandCatalogue();
    ASSERT_EQ(catalogue.size(), 84u);
    for (CommandId id = 0; id < static_cast<CommandId>(catalogue.size()); ++id) {
        const CommandDescriptor& row = catalogue.DescribeCommand(id);
        SimulatedSensor sensor(FixedClock());
        ASSERT_FALSE(Ask(sensor, Unprotect()).empty());
        const SensorReply reply = sensor.HandleFrame(row.request_code + PayloadFor(sensor, row.request_code));
        SCOPED_TRACE(row.request_code + " -> " + reply.text);
        if (row.max_length == kNoReplyLength || row.max_length == -99) {
            EXPECT_TRUE(reply.silent);
            continue;
        }
        if (row.min_length == kMultiDropLength && reply.silent) {
            continue;  // "B2" and "B3" may go unanswered
        }
        const test::CheckedReply checked = test::CheckReply(row, reply.text);
        EXPECT_TRUE(checked.ok) << checked.why;
        // "Ready" and the packets belong inside the firmware handshake: alone they are refused.
        static const std::set<std::string> kHandshakeSteps = {"D1", "D3", "F0", "F1"};
        if (kHandshakeSteps.contains(row.request_code)) {
            EXPECT_EQ(checked.data, "Failure");
            continue;
        }
        EXPECT_EQ(checked.data.find("Failure"), std::string::npos) << "a valid request was refused";
    }
}

TEST(SimSensorCatalogue, ContentChecksOfTheProgramHold) {
    SimulatedSensor sensor(FixedClock());
    const auto data = [&](const char* code) {
        const CommandDescriptor& row =
            BuildCommandCatalogue().DescribeCommand(BuildCommandCatalogue().FindCommand(code));
        return test::CheckReply(row, Ask(sensor, std::string(code) + PayloadFor(sensor, code))).data;
    };
    EXPECT_EQ(data("S6"), "2");
    EXPECT_EQ(data("SH"), "RS-232");
    EXPECT_EQ((data("X0").size() - 8) % 29, 0u);
    EXPECT_EQ((data("XD").size() - 8) % 29, 0u);
    EXPECT_EQ(data("S8"), "123");
    EXPECT_EQ(Ask(sensor, "S8123"), "S81230096\r");
}

TEST(SimSensorRecords, ConfigInfoFieldsHaveTheirForms) {
    SensorSettings settings = FixedClock();
    settings.interval_seconds = 30;
    settings.baud = 38400;
    SimulatedSensor sensor(settings);
    const std::string config = sensor.Record(RecordKind::Config);
    ASSERT_EQ(config.size(), 167u);
    const std::regex ip("\\d{3}\\.\\d{3}\\.\\d{3}\\.\\d{3}");
    EXPECT_TRUE(std::regex_match(config.substr(16, 15), ip));
    EXPECT_TRUE(std::regex_match(config.substr(31, 15), ip));
    EXPECT_EQ(config.substr(66, 4), "0001");
    EXPECT_EQ(config.substr(142, 8), "0000001E");
    EXPECT_EQ(config[152], '2') << "the RS-232 baud code is 38400";
    EXPECT_TRUE(static_cast<unsigned char>(config[150]) & 0x80) << "buffer status needs bit 7";
    EXPECT_EQ(sensor.LineRate(), 38400u);
    EXPECT_EQ(sensor.Record(RecordKind::Extended).size(), 87u);
    EXPECT_EQ(sensor.Record(RecordKind::Collection).substr(208, 4), "0001") << "simple protocol";
}

TEST(SimSensorRecords, SideFireLaneMapMatchesTheLaneCount) {
    for (int lanes = 0; lanes <= 8; ++lanes) {
        SCOPED_TRACE(lanes);
        SensorSettings settings = FixedClock();
        settings.lanes = lanes;
        SimulatedSensor sensor(settings);
        const std::string record = sensor.Record(RecordKind::SfAlgorithm);
        ASSERT_EQ(record.size(), 104u);
        EXPECT_EQ(LaneCountOfSfAlgorithm(record), lanes);
        EXPECT_EQ(sensor.lanes(), lanes);
        // Markers: one edge per road side, a centre per lane and a divider between lanes; each
        // marker is hex4 of bin * 2 + 8 and so decodes to a bin in 0..83, in increasing order.
        int markers = 0;
        std::uint32_t previous = 0;
        for (int i = 0; i < 20; ++i) {
            std::uint32_t value = 0;
            ASSERT_TRUE(ParseHex(record.substr(4 * i, 4), value));
            if (value == 0) {
                continue;
            }
            ++markers;
            EXPECT_GT(value, previous);
            EXPECT_LT(value / 2 - 4, 84u);
            previous = value;
        }
        const int roads = lanes == 0 ? 0 : (lanes <= 3 ? 1 : 2);
        EXPECT_EQ(markers, lanes == 0 ? 0 : 2 * lanes + roads);
        EXPECT_EQ(record.substr(96, 8).find_first_not_of("LR"), std::string::npos);
    }
}

// The compatibility check's reading of the version text, step by step.
std::map<std::string, std::string> ParseVersion(std::string text) {
    std::map<std::string, std::string> fields;
    const std::size_t fpga = text.find(" FPGA: ");
    if (text.find("DSP: ") == std::string::npos || fpga == std::string::npos) {
        return fields;
    }
    std::string value = text.substr(fpga + 7, 4);
    fields["fpga"] = value.erase(0, std::min(value.find_first_not_of('0'), value.size() - 1));
    std::string rest = text.substr(text.find('_', 5) + 1);
    const auto take = [&](const std::string& stops) {
        const std::size_t end = rest.find_first_of(stops);
        std::string field = rest.substr(0, end);
        rest.erase(0, end == std::string::npos ? rest.size() : end + 1);
        return field;
    };
    fields["primary"] = take(".");
    take(".");
    fields["yy"] = take(".");
    fields["amm"] = take("._");
    if (!rest.empty() && rest[0] == 'R') {
        rest.erase(0, 1);
    }
    fields["dd"] = take(" ");
    return fields;
}

TEST(SimSensorRecords, DefaultVersionParsesAsTheCompatibilityCheckReadsIt) {
    SimulatedSensor side(FixedClock());
    const std::string reply = Ask(side, "S5");
    ASSERT_EQ(reply.size(), 2 + 36 + 1u);
    const auto fields = ParseVersion(reply.substr(2, 36));
    EXPECT_EQ(fields.at("primary"), "v2");
    EXPECT_EQ(fields.at("fpga"), "30");
    EXPECT_EQ(fields.at("yy"), "10");
    EXPECT_EQ(fields.at("amm"), "S03");
    EXPECT_EQ(fields.at("dd"), "05");

    SensorSettings forward = FixedClock();
    forward.forward_fire = true;
    forward.version.yy = "11";
    SimulatedSensor ff(forward);
    const auto ff_fields = ParseVersion(Ask(ff, "S5").substr(2, 36));
    EXPECT_EQ(ff_fields.at("amm"), "F03");
    EXPECT_EQ(ff_fields.at("yy"), "11");
}

TEST(SimSensorTraffic, IntervalRecordsDecodeLaneByLane) {
    SimulatedSensor sensor(FixedClock());
    const std::string reply = Ask(sensor, "XD0001");
    const auto checked = test::CheckReply(BuildCommandCatalogue().DescribeCommand(51), reply);
    ASSERT_TRUE(checked.ok) << checked.why;
    const std::string& record = checked.data;
    ASSERT_EQ(record.size(), 8 + 4 * 29u);
    std::uint32_t end_time = 0;
    ASSERT_TRUE(ParseHex(record.substr(0, 8), end_time));
    EXPECT_EQ(end_time % 20, 0u) << "intervals end on the sensor clock's boundaries";
    EXPECT_LE(end_time, sensor.SensorSeconds());
    for (int lane = 0; lane < 4; ++lane) {
        const std::string block = record.substr(8 + 29 * lane, 29);
        EXPECT_EQ(block[0], '1' + lane);
        std::uint32_t shares[3] = {};
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(ParseHex(block.substr(17 + 4 * i, 4), shares[i]));
        }
        std::uint32_t volume = 0;
        ASSERT_TRUE(ParseHex(block.substr(1, 8), volume));
        EXPECT_EQ(shares[0] + shares[1] + shares[2], volume > 0 ? 1024u : 0u);
    }
}

TEST(SimSensorTraffic, TheSameSeedGivesTheSameDataAndAnotherSeedDoesNot) {
    SimulatedSensor first(FixedClock(11));
    SimulatedSensor again(FixedClock(11));
    SimulatedSensor other(FixedClock(12));
    for (int index = 1; index <= 20; ++index) {
        const std::string request = "XD" + Hex(static_cast<std::uint32_t>(index), 4);
        EXPECT_EQ(Ask(first, request), Ask(again, request));
    }
    EXPECT_NE(Ask(first, "XD0001"), Ask(other, "XD0001"));
    EXPECT_EQ(Ask(first, "S0"), Ask(again, "S0"));
}

TEST(SimSensorTraffic, ARecordIsCompletedEveryIntervalOfSensorTime) {
    SimulatedSensor sensor(FixedClock());
    const std::size_t before = sensor.StoredIntervals(IntervalBuffer::Sram);
    const std::string newest = sensor.StoredInterval(IntervalBuffer::Sram, 1);
    sensor.AdvanceClock(40s);
    EXPECT_EQ(sensor.StoredIntervals(IntervalBuffer::Sram), before + 2);
    std::uint32_t old_end = 0;
    std::uint32_t new_end = 0;
    ASSERT_TRUE(ParseHex(newest.substr(0, 8), old_end));
    ASSERT_TRUE(ParseHex(sensor.StoredInterval(IntervalBuffer::Sram, 1).substr(0, 8), new_end));
    EXPECT_EQ(new_end, old_end + 40);
    EXPECT_EQ(sensor.StoredInterval(IntervalBuffer::Sram, 3), newest);
}

TEST(SimSensorTraffic, EventsQueueUntilReadAndAFlushEmptiesThem) {
    SimulatedSensor sensor(FixedClock());
    EXPECT_EQ(Ask(sensor, "XA"), "XAEmpty\r");
    sensor.AdvanceClock(120s);
    const std::string event = Ask(sensor, "XA");
    ASSERT_EQ(event.size(), 2 + 18 + 1u) << event;
    EXPECT_GE(event[10], '1');
    EXPECT_LE(event[10], '4');
    EXPECT_LE(event[19], '2');
    ASSERT_EQ(Ask(sensor, Unprotect()).substr(0, 2), "S8");
    EXPECT_EQ(Ask(sensor, "XEE"), "XESuccess\r");
    EXPECT_EQ(Ask(sensor, "XA"), "XAEmpty\r");
}

TEST(SimSensorBuffers, FlagsSelectTheBufferAndFlushesEmptyThem) {
    SensorSettings settings = FixedClock();
    settings.history_records = 300;
    SimulatedSensor sensor(settings);
    EXPECT_EQ(sensor.StoredIntervals(IntervalBuffer::Sram), kSramCapacity);
    EXPECT_EQ(sensor.StoredIntervals(IntervalBuffer::Flash), 300u);
    Ask(sensor, Unprotect());

    auto select = [&](unsigned flags) {
        std::string config = sensor.Record(RecordKind::Config);
        config[150] = static_cast<char>(flags);
        return Ask(sensor, "S1" + WithChecksum(config));
    };
    ASSERT_EQ(select(0x80 | 0x10), "S1Success\r");  // flash
    EXPECT_NE(Ask(sensor, "XD012C").find("XD"), std::string::npos);
    EXPECT_GT(Ask(sensor, "XD012C").size(), 20u);
    EXPECT_EQ(Ask(sensor, "XD012D"), "XDInvalid\r");
    ASSERT_EQ(select(0x80 | 0x20), "S1Success\r");  // SRAM
    EXPECT_GT(Ask(sensor, "XD00F6").size(), 20u);
    EXPECT_EQ(Ask(sensor, "XD00F7"), "XDInvalid\r");
    EXPECT_EQ(Ask(sensor, "XD0000"), "XDInvalid\r");
    EXPECT_EQ(Ask(sensor, "XE"), "XESuccess\r");
    EXPECT_EQ(Ask(sensor, "XD0001"), "XDEmpty\r");
    ASSERT_EQ(select(0x80 | 0x10), "S1Success\r");
    EXPECT_EQ(Ask(sensor, "XF"), "XFSuccess\r");
    EXPECT_EQ(Ask(sensor, "XD0001"), "XDEmpty\r");
}

TEST(SimSensorBuffers, NoLanesIsReportedForIntervalReads) {
    SensorSettings settings = FixedClock();
    settings.lanes = 0;
    SimulatedSensor sensor(settings);
    EXPECT_EQ(Ask(sensor, "XD0001"), "XDNo lanes\r");
    EXPECT_EQ(Ask(sensor, "X0"), "X0No lanes\r");
}

TEST(SimSensorFirewall, WritesAreRefusedUntilUnprotectedAndAfterProtect) {
    SimulatedSensor sensor(FixedClock());
    EXPECT_EQ(Ask(sensor, "S412CFF780"), "S4Failure\r");
    EXPECT_EQ(Ask(sensor, "SD0"), "SDFailure\r");
    EXPECT_EQ(Ask(sensor, Unprotect()), "S87C3A9E1B5D2F486" + ComputeFrameChecksum("7C3A9E1B5D2F486") + "\r");
    EXPECT_FALSE(sensor.is_protected());
    EXPECT_EQ(Ask(sensor, "S412CFF780"), "S4Success\r");
    EXPECT_EQ(Ask(sensor, cmd::kProtect).substr(0, 17), cmd::kProtect);
    EXPECT_EQ(Ask(sensor, "S412CFF780"), "S4Failure\r");
    sensor.SetFirewall(false);
    EXPECT_EQ(Ask(sensor, "S412CFF780"), "S4Success\r");
}

TEST(SimSensorFirewall, ARecordWithABadChecksumOrLengthIsRefused) {
    SimulatedSensor sensor(FixedClock());
    Ask(sensor, Unprotect());
    const std::string extended = sensor.Record(RecordKind::Extended);
    EXPECT_EQ(Ask(sensor, "S11" + extended + "0000"), "S11Failure\r");
    EXPECT_EQ(Ask(sensor, "S11" + WithChecksum(extended.substr(1))), "S11Failure\r");
    std::string metric = extended;
    metric[0] = 'M';
    EXPECT_EQ(Ask(sensor, "S11" + WithChecksum(metric)), "S11Success\r");
    EXPECT_EQ(sensor.Record(RecordKind::Extended)[0], 'M');
}

TEST(SimSensorClock, SetTimeIsReadBackAndKeepsRunning) {
    SimulatedSensor sensor(FixedClock());
    Ask(sensor, Unprotect());
    ASSERT_EQ(Ask(sensor, "S400F00000"), "S4Success\r");
    EXPECT_EQ(Ask(sensor, "SB"), "SB00F00000\r");
    sensor.AdvanceClock(3s);
    EXPECT_EQ(Ask(sensor, "SB"), "SB00F00003\r");

    SensorSettings behind;
    behind.clock_offset_seconds = -3 * 365 * 24 * 3600;
    SimulatedSensor far_off(behind);
    SimulatedSensor on_time{SensorSettings{}};
    EXPECT_NEAR(static_cast<double>(on_time.SensorSeconds()) - far_off.SensorSeconds(), 3 * 365 * 24 * 3600.0,
                5);
}

TEST(SimSensorLine, BaudChangesAnswerAtTheOldRateThenSwitch) {
    SimulatedSensor sensor(FixedClock());
    Ask(sensor, Unprotect());
    SensorReply reply = sensor.HandleFrame("S70400");
    EXPECT_EQ(reply.text, "S7Success\r");
    EXPECT_EQ(reply.line_rate, 9600u);
    EXPECT_EQ(sensor.LineRate(), 115200u);

    std::string config = sensor.Record(RecordKind::Config);
    config[152] = '3';
    reply = sensor.HandleFrame("S1" + WithChecksum(config));
    EXPECT_EQ(reply.text, "S1Success\r");
    EXPECT_EQ(reply.line_rate, 115200u);
    EXPECT_EQ(sensor.LineRate(), 57600u);
    EXPECT_EQ(Ask(sensor, "S7X"), "S7Failure\r");
}

TEST(SimSensorLine, ConfigModeRestartsAndFinishesTheAutomaticConfiguration) {
    SimulatedSensor sensor(FixedClock());
    Ask(sensor, Unprotect());
    EXPECT_EQ(Ask(sensor, "SD0"), "SDSuccess\r");
    EXPECT_EQ(Ask(sensor, "S6"), "S60\r");
    sensor.AdvanceClock(11s);
    EXPECT_EQ(Ask(sensor, "S6"), "S61\r");
    EXPECT_EQ(Ask(sensor, "SD2"), "SDSuccess\r");
    EXPECT_EQ(Ask(sensor, "S6"), "S62\r");
    EXPECT_EQ(Ask(sensor, "SD7"), "SDFailure\r");
}

TEST(SimSensorMultiDrop, OnlyTheAddressedSensorAnswersAndDiscoveryAnswersBare) {
    SensorSettings settings = FixedClock();
    settings.id = "0045";
    settings.multi_drop_network = true;
    SimulatedSensor sensor(settings);
    EXPECT_TRUE(sensor.HandleFrame("S6").silent) << "a multi-drop sensor ignores bare frames";
    EXPECT_TRUE(sensor.HandleFrame("Z00012S6").silent);
    EXPECT_EQ(Ask(sensor, "Z00045S6"), "Z00045S62\r");
    EXPECT_EQ(Ask(sensor, "B000"), "B10045" + ComputeFrameChecksum("0045") + "\r");
    EXPECT_EQ(Ask(sensor, "Z00045S8B00FF"), "Z00045S8B00FF" + ComputeFrameChecksum("B00FF") + "\r");
    EXPECT_TRUE(sensor.muted());
    EXPECT_TRUE(sensor.HandleFrame("B001").silent) << "a muted sensor stays out of discovery";
    EXPECT_EQ(Ask(sensor, "Z00045S6"), "Z00045S62\r") << "muting stops only the discovery replies";
    EXPECT_TRUE(sensor.HandleFrame("B2").silent);
    EXPECT_FALSE(sensor.muted());
    EXPECT_FALSE(sensor.HandleFrame("B000").silent);
}

TEST(SimSensorMultiDrop, ASimpleSensorAlsoAnswersItsOwnAddress) {
    SimulatedSensor sensor(FixedClock());
    EXPECT_EQ(Ask(sensor, "S6"), "S62\r");
    EXPECT_EQ(Ask(sensor, "Z00001S6"), "Z00001S62\r");
    EXPECT_TRUE(sensor.HandleFrame("Z00002S6").silent);
}

TEST(SimSensorMultiDrop, ACollectionWriteSwitchesBetweenSimpleAndMultiDrop) {
    SimulatedSensor sensor(FixedClock());
    Ask(sensor, Unprotect());
    std::string collection = sensor.Record(RecordKind::Collection);
    collection.replace(208, 4, "0003");
    EXPECT_EQ(Ask(sensor, "S12" + WithChecksum(collection)), "S12Success\r");
    EXPECT_TRUE(sensor.HandleFrame("S6").silent);
    EXPECT_EQ(Ask(sensor, "Z00001S6"), "Z00001S62\r");
}

TEST(SimSensorRequests, CodesThatShareAPrefixAreToldApartByTheRecordLength) {
    SimulatedSensor sensor(FixedClock());
    Ask(sensor, Unprotect());
    std::string config = sensor.Record(RecordKind::Config);
    config.replace(0, 16, "1234567890123456");  // "S1" + "1..." looks like "S11"
    EXPECT_EQ(Ask(sensor, "S1" + WithChecksum(config)), "S1Success\r");
    EXPECT_EQ(sensor.Record(RecordKind::Config).substr(0, 16), "1234567890123456");
    EXPECT_EQ(Ask(sensor, "XEE"), "XESuccess\r");
    EXPECT_TRUE(sensor.HandleFrame("QQ").silent) << "an unknown code gets no reply";
}

}  // namespace
}  // namespace qvx::sim
