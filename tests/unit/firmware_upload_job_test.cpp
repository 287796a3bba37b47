// The pure parts of the firmware upload: the images a plan loads, the texts, the progress
// figures and when Cancel is offered.
#include <gtest/gtest.h>

#include "../support/scripted_prompts.h"
#include "firmware/compatibility.h"
#include "firmware/upload_job.h"
#include "link/sensor_link.h"
#include "protocol/transaction.h"

namespace qvx {
namespace {

TEST(UploadTexts, QuestionNamesTheKindAndTheFileWithoutItsFolder) {
    EXPECT_EQ(UploadOverwriteQuestion(ImageKind::Dsp, "/home/tech/fw/dsp_v231.hex"),
              "Are you sure you want to overwrite the DSP firmware with dsp_v231.hex?");
    EXPECT_EQ(UploadOverwriteQuestion(ImageKind::Fpga, "fpga.hex"),
              "Are you sure you want to overwrite the FPGA firmware with fpga.hex?");
}

TEST(UploadPlan, FpgaImageComesFirstThenTheDspImageOfThePlan) {
    const auto& bundle = BuiltInBundle();
    ASSERT_TRUE(bundle.has_value());
    const auto both = PlannedImages(*bundle, upload_plan::kForwardFireDsp + upload_plan::kFpga);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[0].kind, ImageKind::Fpga);
    EXPECT_EQ(both[1].kind, ImageKind::Dsp);
    EXPECT_EQ(both[1].data, bundle->segment(BundleSegmentId::ForwardFireDsp).data);
    EXPECT_EQ(both[1].source, PacketCutter::Source::BundleSegment);
    EXPECT_EQ(PlannedImages(*bundle, upload_plan::kFpga).size(), 1u);
    EXPECT_TRUE(PlannedImages(*bundle, upload_plan::kNone).empty());
}

TEST(UploadFigures, PercentRateAndTimeLeft) {
    UploadSnapshot snapshot;
    EXPECT_EQ(FiguresOf(snapshot).percent, 0);  // nothing while the total is 0
    EXPECT_EQ(PacketProgressText(UploadMode::File, snapshot), "");
    snapshot.name = "dsp.hex";
    snapshot.total_digits = 3000;
    snapshot.digits_sent = 999;
    snapshot.packet_seconds = 0.5;
    const UploadFigures figures = FiguresOf(snapshot);
    EXPECT_EQ(figures.percent, 33);  // integer division
    EXPECT_DOUBLE_EQ(figures.bytes_per_second, 1998.0);
    ASSERT_TRUE(figures.seconds_left.has_value());
    EXPECT_EQ(*figures.seconds_left, 1);
    EXPECT_EQ(PacketProgressText(UploadMode::File, snapshot), "Uploading dsp.hex...(33%)");
    EXPECT_EQ(PacketProgressText(UploadMode::Compatibility, snapshot), "Uploading firmware...(33%)");
}

TEST(UploadCancel, OfferedBeforeTheResultAndWarnedForFpgaOnly) {
    ConnectionState state;
    SensorLink link(state);
    ScriptedPrompts prompts;
    SensorProtocol protocol(link, prompts);
    UploadImage fpga;
    fpga.kind = ImageKind::Fpga;
    UploadJob fpga_job(protocol, fpga);
    EXPECT_TRUE(fpga_job.Snapshot().cancel_possible);
    ASSERT_TRUE(fpga_job.CancelWarning().has_value());
    EXPECT_EQ(fpga_job.CancelWarning()->text, upload_text::kFpgaCancelWarning);
    CancelUploadJob(fpga_job, prompts);
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(fpga_job.Snapshot().text, upload_text::kCancelStopping);

    UploadJob dsp_job(protocol, UploadImage{});
    EXPECT_FALSE(dsp_job.CancelWarning().has_value());
    UploadJob compat(protocol, std::vector<UploadImage>{UploadImage{}});
    compat.RequestCancel();
    EXPECT_EQ(compat.Snapshot().text, upload_text::kCompatCancelStopping);
}

}  // namespace
}  // namespace qvx
