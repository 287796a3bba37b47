// The settings pages without a window: unit conversions and snaps, the flash interval limit,
// the checks that mark fields, the General and Communication rules, the boundary array.

#include <gtest/gtest.h>

#include "../support/scripted_prompts.h"
#include "config/calibration_pages.h"
#include "config/communication_page.h"
#include "config/data_collection_page.h"
#include "config/general_page.h"
#include "config/length_units.h"
#include "protocol/user_prompts.h"
#include "support/settings_records.h"

namespace qvx {
namespace {

using namespace dc_control;

TEST(LengthUnits, ConversionsRoundHalfUp) {
    EXPECT_EQ(ConvertClassLength(21, 'M'), 64);  // 64.008 dm
    EXPECT_EQ(ConvertClassLength(64, 'E'), 21);  // 20.997 ft
    EXPECT_EQ(ConvertLoopLength(72, 'M'), 183);  // 182.88 cm
    EXPECT_EQ(ConvertLoopLength(183, 'E'), 72);
    EXPECT_EQ(RoundHalfUp(2.5), 3);
    EXPECT_EQ(RoundHalfUp(2.49), 2);
}

TEST(LengthUnits, MetricSnapsSettleOnValuesThatSurviveTheRoundTrip) {
    EXPECT_EQ(SnapMetricClassLength(64), 64);
    EXPECT_EQ(SnapMetricClassLength(65), 64);
    EXPECT_EQ(SnapMetricClassLength(5000), 4999);  // passes 1000: left for the class limit
    // Spinning up from 183 skips 184 (it comes back as 183); down from 183 lands on 180.
    EXPECT_EQ(SnapMetricLoopValue(183, 184, 610), 185);
    EXPECT_EQ(SnapMetricLoopValue(183, 182, 610), 180);
    EXPECT_EQ(SnapMetricLoopValue(609, 610, 610), 610);
    EXPECT_EQ(SnapMetricLoopValue(4, 3, 610), 3);
    EXPECT_EQ(SnapMetricLoopValue(183, 183, 610), std::nullopt);
}

TEST(LengthUnits, FlashIntervalLimitFollowsTheIntervalSize) {
    EXPECT_EQ(FlashIntervalLimit(300), 65400);
    EXPECT_EQ(FlashIntervalLimit(5), 1200);
    EXPECT_EQ(FlashIntervalLimit(20), 4800);  // 20 * 245 = 4900, down to a multiple of 300
    EXPECT_EQ(FlashIntervalLimit(1), 300);
    EXPECT_EQ(FlashIntervalLimit(999999999), 65400);
    EXPECT_EQ(ScaleFactorText(72, 72), "1.000");
    EXPECT_EQ(ScaleFactorText(240, 0), std::nullopt);
}

class DataCollectionTest : public ::testing::Test {
  protected:
    SensorConfiguration config_ = test::SideFireConfiguration();
    DataCollectionPage page_;
    DataCollectionModel& m() { return page_.model(); }
};

TEST_F(DataCollectionTest, ShowsTheRecordsInTheirUnits) {
    page_.Show(config_, true, true);
    EXPECT_EQ(m().units, 'E');
    EXPECT_EQ(m().interval, "20");
    EXPECT_TRUE(m().store_in_flash);
    EXPECT_EQ(m().flash_interval, "3600");
    EXPECT_EQ(m().flash_limit, 4800);
    EXPECT_EQ(m().class_lengths, (std::array<std::string, 6>{"0", "21", "22", "35", "36", "328"}));
    EXPECT_EQ(m().lane_names[0], "Lane 1");
    EXPECT_EQ(m().lane_names[4], "5");
    EXPECT_EQ(m().directions[1], 1);
    EXPECT_EQ(m().loop_sizes[3], "72");
    EXPECT_EQ(m().occupancy_scales[3], "1.000");
    EXPECT_EQ(LabelsForUnits('M').max_length, "Max Length (decimeters)");
    // The extension field "FFFF" shows nothing ticked and 0 ms, and is saved as "0000".
    EXPECT_EQ(m().extended, (std::array<bool, 8>{}));
    EXPECT_EQ(m().extension_ms, "0");
    EXPECT_EQ(page_.Collect(config_, true, true), 0);
    EXPECT_EQ(config_.GetCollectionField(222), "0000");
    // The minimums follow the maximums; nothing else changes.
    EXPECT_EQ(config_.collection(), test::CollectionInfoText({{222, 0}, {167, 22}, {171, 36}}));
}

TEST_F(DataCollectionTest, SwitchingToMetricConvertsTheShownLengths) {
    page_.Show(config_, true, true);
    config_.SetExtendedField(kExtendedUnitsField, "M");
    page_.Show(config_, true, false);
    EXPECT_EQ(m().class_lengths[kSmallMax], "64");
    EXPECT_EQ(m().class_lengths[kMediumMin], "65");
    EXPECT_EQ(m().class_lengths[kMediumMax], "107");
    EXPECT_EQ(m().class_lengths[kLargeMax], "1000");
    EXPECT_EQ(m().loop_sizes[0], "183");
    EXPECT_EQ(m().loop_spacings[0], "610");
    EXPECT_EQ(m().default_size, "183");
    EXPECT_EQ(page_.Collect(config_, true, true), 0);
    EXPECT_EQ(config_.GetCollectionField(164), "0040");
    EXPECT_EQ(config_.GetCollectionField(203), "00B7");
    // A fresh set of records is not converted again.
    page_.Show(config_, true, true);
    EXPECT_EQ(m().class_lengths[kSmallMax], "64");
}

TEST_F(DataCollectionTest, MetricMediumClassMustBeThreeAboveTheSmall) {
    config_.SetExtendedField(kExtendedUnitsField, "M");
    page_.Show(config_, true, true);
    m().class_lengths = {"0", "64", "65", "66", "67", "1000"};
    EXPECT_EQ(page_.Collect(config_, true, true), 1);
    EXPECT_TRUE(page_.marks().IsMarked(kFirstClassLength + kSmallMax));
    EXPECT_TRUE(page_.marks().IsMarked(kFirstClassLength + kMediumMax));
    page_.marks().Clear();
    m().class_lengths = {"0", "64", "65", "67", "68", "1000"};
    EXPECT_EQ(page_.Collect(config_, true, true), 0);
}

TEST_F(DataCollectionTest, LeavingAClassMaximumSnapsAndLimitsIt) {
    config_.SetExtendedField(kExtendedUnitsField, "M");
    page_.Show(config_, true, true);
    m().class_lengths[kSmallMax] = "65";
    page_.LeaveClassMaximum(kSmallMax);
    EXPECT_EQ(m().class_lengths[kSmallMax], "64");
    EXPECT_EQ(m().class_lengths[kMediumMin], "65");
    m().class_lengths[kMediumMax] = "4000";
    page_.LeaveClassMaximum(kMediumMax);
    EXPECT_EQ(m().class_lengths[kMediumMax], "1000");
}

TEST_F(DataCollectionTest, IntervalAndFlashIntervalLimits) {
    page_.Show(config_, true, true);
    m().interval = "4";
    page_.IntervalChanged();
    EXPECT_EQ(page_.Collect(config_, true, true), 2);  // interval below 5, flash above the limit 1200
    EXPECT_TRUE(page_.marks().IsMarked(kInterval));
    EXPECT_TRUE(page_.marks().IsMarked(kFlashInterval));
    page_.marks().Clear();
    m().interval = "300";
    page_.IntervalChanged();
    m().flash_interval = "65400";
    EXPECT_EQ(page_.Collect(config_, true, true), 0);
    EXPECT_EQ(config_.GetConfigField(11), "0000012C");
    m().flash_interval = "65401";
    EXPECT_EQ(page_.Collect(config_, true, true), 1);
    EXPECT_EQ(DataCollectionPage::FilterIntervalTyping("01234567890"), "999999999");
    EXPECT_EQ(DataCollectionPage::FilterFlashIntervalTyping("070000"), "65535");
}

TEST_F(DataCollectionTest, LoopSpacingNotAboveItsSizeMarksBoth) {
    page_.Show(config_, true, true);
    m().loop_spacings[2] = "72";
    m().loop_sizes[5] = "";  // takes the default
    EXPECT_EQ(page_.Collect(config_, true, true), 1);
    EXPECT_TRUE(page_.marks().IsMarked(kFirstLoopSize + 2));
    EXPECT_TRUE(page_.marks().IsMarked(kFirstLoopSpacing + 2));
    EXPECT_FALSE(m().scale_view);
    EXPECT_EQ(m().loop_sizes[5], "72");
    page_.marks().Unmark(kFirstLoopSize + 2);
    EXPECT_FALSE(page_.marks().IsMarked(kFirstLoopSize + 2));
    EXPECT_EQ(page_.marks().Marks().size(), 1u);
}

TEST_F(DataCollectionTest, ExtensionTicksAndHexRegisters) {
    page_.Show(config_, true, true);
    m().extended[2] = true;
    page_.ExtensionTicked(config_, 2);
    EXPECT_EQ(config_.GetCollectionField(222), "0400");
    m().extension_ms = "2500";
    m().dacr = "3";
    m().pga = "07";
    m().lane_names[6] = "   ";
    page_.LeaveHexRegisters();
    page_.Collect(config_, true, false);
    EXPECT_EQ(config_.GetCollectionField(222), "04FA");
    EXPECT_EQ(config_.GetConfigField(14), "0003");
    EXPECT_EQ(config_.GetExtendedField(27), "04");
    EXPECT_EQ(config_.GetExtendedField(25), "7       ");
    EXPECT_EQ(DataCollectionPage::FilterDacrTyping("3g"), "3");
    EXPECT_EQ(DataCollectionPage::FilterDacrTyping("5"), "0000");
}

TEST_F(DataCollectionTest, ForwardFireWritesTheFixedClasses) {
    SensorConfiguration ff = test::ForwardFireConfiguration();
    page_.Show(ff, false, true);
    EXPECT_EQ(m().class_lengths[kMediumMin], "65");
    EXPECT_FALSE(m().directions_enabled);
    EXPECT_EQ(page_.Collect(ff, false, true), 0);
    EXPECT_EQ(ff.GetCollectionField(167), "0043");  // 67, not the 65 shown
}

TEST(SideFireCalibration, BoundaryArrayMustIncreaseUpToItsFirstZero) {
    SensorConfiguration config = test::SideFireConfiguration();
    const auto marked = [&](std::vector<std::string> entries) {
        SideFireCalibrationPage page;
        page.Show(config);
        entries.resize(20, "0000");
        std::copy(entries.begin(), entries.end(), page.model().boundaries.begin());
        const int errors = page.Collect(config, true);
        std::vector<int> controls;
        for (const ErrorMark& mark : page.marks().Marks())
            controls.push_back(mark.control);
        return std::make_pair(errors, controls);
    };
    EXPECT_EQ(marked({"0005", "0009", "0009"}), std::make_pair(1, std::vector<int>{1, 2}));
    EXPECT_EQ(marked({"0005", "0009"}), std::make_pair(0, std::vector<int>{}));
    EXPECT_EQ(marked({"0005", "0009", "0000", "0003"}), std::make_pair(1, std::vector<int>{1, 2}));
    // Above AE an entry becomes zero, which ends the array.
    EXPECT_EQ(marked({"0005", "00AF"}), std::make_pair(0, std::vector<int>{}));
    EXPECT_EQ(config.GetSideFireField(224), "0000");
}

TEST(GeneralPage, IdentityRules) {
    SensorConfiguration config = test::SideFireConfiguration();
    ScriptedPrompts prompts;
    GeneralPageModel page = ShowGeneralPage(config);
    EXPECT_EQ(page.rtms_id, "255");
    EXPECT_EQ(page.orientation, 1);
    EXPECT_EQ(page.description, "Main Street bridge");

    page.serial_number = "9ABC";
    page.multidrop_id = "";
    page.rtms_id = "13";
    page.description = "";
    CollectGeneralPage(page, config, prompts);
    EXPECT_EQ(config.GetConfigField(0), "0000000000009ABC");
    EXPECT_EQ(config.GetConfigField(6), "9ABC");
    EXPECT_EQ(config.GetConfigField(5), "0000");
    EXPECT_EQ(page.rtms_id, "0");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "Warning...");
    EXPECT_EQ(config.GetConfigField(10), std::string(32, '-'));

    page.rtms_id = "";
    CollectGeneralPage(page, config, prompts);
    EXPECT_EQ(config.GetConfigField(5), "00FF");

    std::string serial = "ABCDEFGHIJKLMNO";
    const auto message = LeaveSerialNumber(serial);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->text, "Serial numbers must be 16 characters long");
    EXPECT_EQ(serial, "ABCDEFGHIJKLMNO*");
    serial = "1BCDEFGHIJKLMNOP";
    EXPECT_EQ(LeaveSerialNumber(serial)->text, "Serial numbers cannot start with a 0, 1, or 2.");
    EXPECT_EQ(serial, "*BCDEFGHIJKLMNOP");
    EXPECT_EQ(FilterMultiDropIdTyping("a1-b"), "A1B");
    EXPECT_EQ(FilterRtmsIdTyping("300"), "255");
}

TEST(CommunicationPage, AddressesDelaysAndTheSimpleProtocolQuestion) {
    SensorConfiguration config = test::SideFireConfiguration();
    config.SetConfigField(1, "192.168.256.010");
    CommunicationPageModel page = ShowCommunicationPage(config);
    EXPECT_EQ(page.modem_ip, (std::array<std::string, 4>{"0", "0", "0", "0"}));
    EXPECT_EQ(page.collector_ip, (std::array<std::string, 4>{"10", "0", "0", "2"}));
    EXPECT_EQ(page.baud[comm_port::kRs232], 0);
    EXPECT_EQ(page.delays[comm_port::kRs485], "2");
    EXPECT_EQ(page.delays[comm_port::kExpansionB], "65534");
    EXPECT_TRUE(page.simple_protocol);
    EXPECT_EQ(page.push[0].data_type, 0);
    EXPECT_EQ(page.push[0].port, 1);
    EXPECT_TRUE(page.push[0].enabled);

    std::string delay = "1";
    LeaveRs485Delay(delay);
    EXPECT_EQ(delay, "2");
    EXPECT_EQ(FilterDelayTyping("70000"), "65534");

    ScriptedPrompts prompts;  // answers Cancel
    page.simple_protocol = false;
    page.rts_cts = true;
    page.collector_ip = {"10", "", "1", "200"};
    EXPECT_EQ(CollectCommunicationPage(page, config, prompts, false), 0);
    EXPECT_EQ(config.GetCollectionField(215), "0001");
    EXPECT_EQ(config.GetConfigField(2), "010.000.001.200");
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0],
              "Warning...|You are about to disable Simple Protocol.\nTo continue communication, Quorvix "
              "Manager will use the multidrop ID [CDE0].");

    prompts.ask_answers = {true};
    EXPECT_EQ(CollectCommunicationPage(page, config, prompts, false), 1);
    EXPECT_EQ(config.GetCollectionField(215), "0013");
    // Already on multi-drop: no second question.
    EXPECT_EQ(CollectCommunicationPage(page, config, prompts, false), 1);
    EXPECT_EQ(prompts.questions.size(), 2u);
}

TEST(ErrorMarks, FirstFreeSlotAndCapacity) {
    ErrorMarkList marks(2);
    marks.Mark(4, "a");
    marks.Mark(7, "b");
    marks.Mark(9, "dropped");
    EXPECT_FALSE(marks.IsMarked(9));
    marks.Unmark(4);
    marks.Mark(9, "c");
    ASSERT_EQ(marks.Marks().size(), 2u);
    EXPECT_EQ(marks.Marks()[0].control, 9);
}

}  // namespace
}  // namespace qvx
