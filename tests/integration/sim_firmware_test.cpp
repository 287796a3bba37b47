// The simulated sensor's firmware loader, frame by frame: it takes only the handshake in order,
// checks every packet's sequence digit and packet check and the announced check value, restarts
// silently and then reports the loaded image's version.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "simulated_sensor.h"

namespace qvx::sim {
namespace {

std::string Check4(const std::string& data) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", FirmwareLoader::DigitSum(data) & 0xFFFF);
    return text;
}

std::string Check8(const std::string& data) {
    char text[12];
    std::snprintf(text, sizeof text, "%08X", FirmwareLoader::DigitSum(data));
    return text;
}

class SimFirmwareTest : public ::testing::Test {
  protected:
    SimFirmwareTest() : sensor_(Settings()) {}
    static SensorSettings Settings() {
        SensorSettings settings;
        settings.firewall = false;
        settings.restart_ms = 5000;
        return settings;
    }
    std::string Send(const std::string& frame) {
        const SensorReply reply = sensor_.HandleFrame(frame);
        return reply.silent ? "(silent)" : reply.text.substr(0, reply.text.size() - 1);
    }
    // Announces and readies a DSP upload of `image`.
    void Begin(const std::string& image) {
        ASSERT_EQ(Send("D5" + Check8(image)), "D5" + Check8(image));
        ASSERT_EQ(Send("D3"), "D3Ready");
    }
    std::string Packet(char sequence, const std::string& data) {
        return Send("D1" + std::string(1, sequence) + data + Check4(data));
    }

    SimulatedSensor sensor_;
};

TEST_F(SimFirmwareTest, HandshakeOutOfOrderIsRefused) {
    EXPECT_EQ(Send("D3"), "D3Failure");           // ready before any announce
    EXPECT_EQ(Packet('1', "10AA"), "D1Failure");  // a packet before ready
    EXPECT_EQ(Send("D6"), "D6Null");              // no upload under way
    EXPECT_EQ(Send("D5000000e3"), "D5Failure");   // the check value in lower case
    EXPECT_EQ(Send("D5E3"), "D5Failure");
}

TEST_F(SimFirmwareTest, EveryPacketIsCheckedAndTheImageAgainstTheAnnouncedValue) {
    const std::string image = "10AA0123456789ABCDEF";
    Begin(image);
    EXPECT_EQ(Send("D1110AA0000"), "D1Failure");               // wrong packet check
    EXPECT_EQ(Packet('2', "10AA"), "D1Failure");               // wrong sequence digit
    EXPECT_EQ(Send("D1110aa" + Check4("10aa")), "D1Failure");  // lower-case digits
    EXPECT_EQ(Packet('1', "10AA"), "D1Success");
    EXPECT_EQ(Packet('1', "10AA"), "D1Success");  // a resend of the packet just taken is stored once
    EXPECT_EQ(Packet('2', "0123456789ABCDEF"), "D1Success");
    EXPECT_EQ(Packet('3', ""), "D1Success");  // the closing packet without data
    EXPECT_EQ(Send("D6"), "D6Success");
    const FirmwareLoader firmware = sensor_.Firmware();
    EXPECT_EQ(firmware.Received(FirmwarePart::Dsp).digits, image);
    EXPECT_EQ(firmware.packets_refused(), 3);
}

TEST_F(SimFirmwareTest, DigitsThatDoNotAddUpToTheAnnouncedValueFail) {
    Begin("10AA0000");
    EXPECT_EQ(Packet('1', "10AA"), "D1Success");
    EXPECT_EQ(Send("D6"), "D6Failure");  // "0000" never arrived
    Send("D0");
    EXPECT_EQ(sensor_.Firmware().images_loaded(), 0);
}

TEST_F(SimFirmwareTest, SequenceDigitsWrapFromNineToZero) {
    std::string image;
    for (int i = 0; i < 12; ++i) {
        image += i == 0 ? "10AA" : "ABCD";
    }
    Begin(image);
    const char digits[] = "123456789012";
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(Packet(digits[i], i == 0 ? "10AA" : "ABCD"), "D1Success") << i;
    }
    EXPECT_EQ(Send("D6"), "D6Success");
}

TEST_F(SimFirmwareTest, RestartIsSilentThenReportsTheLoadedVersion) {
    const std::string mark =
        "245645523A5156585F76322E33312E31312E5330342E52303624";  // $VER:QVX_v2.31.11.S04.R06$
    const std::string image = "10AA" + mark;
    Begin(image);
    EXPECT_EQ(Packet('1', image), "D1Success");
    EXPECT_EQ(Send("D6"), "D6Success");
    EXPECT_EQ(Send("D0"), "(silent)");
    EXPECT_EQ(Send("S5"), "(silent)");
    sensor_.AdvanceClock(std::chrono::milliseconds(5000));
    EXPECT_EQ(Send("S5"), "S5DSP: QVX_v2.31.11.S04.R06 FPGA: 0030");
    EXPECT_TRUE(sensor_.is_protected());  // a restart closes the firewall again
}

TEST_F(SimFirmwareTest, TheDspResultEndsAnFpgaUploadUnderWay) {
    const std::string image = "FFFFFFFFAA99";
    ASSERT_EQ(Send("F3" + Check8(image)), "F3" + Check8(image));
    ASSERT_EQ(Send("F1"), "F1Ready");
    EXPECT_EQ(Send("F01" + image + Check4(image)), "F0Success");
    EXPECT_EQ(Send("D6"), "D6Failure");
    EXPECT_EQ(Send("F4"), "F4Null");
}

TEST(SimFirmwareFaults, ScriptedRefusalsWrongEchoAndFailedResult) {
    FirmwareFaults faults;
    faults.refuse_packet = 2;
    faults.refuse_times = 2;
    faults.wrong_echo = 1;
    faults.fail_result = true;
    FirmwareLoader loader(faults);
    EXPECT_NE(loader.Announce(FirmwarePart::Dsp, "000000E3").text, "000000E3");
    EXPECT_EQ(loader.Announce(FirmwarePart::Dsp, "000000E3").text, "000000E3");
    loader.Ready(FirmwarePart::Dsp);
    EXPECT_EQ(loader.Packet(FirmwarePart::Dsp, "110AA00E3").text, "Success");
    EXPECT_EQ(loader.Packet(FirmwarePart::Dsp, "200030").text, "Failure");
    EXPECT_EQ(loader.Packet(FirmwarePart::Dsp, "200030").text, "Failure");
    EXPECT_EQ(loader.Packet(FirmwarePart::Dsp, "200030").text, "Success");
    EXPECT_EQ(loader.Result(FirmwarePart::Dsp).text, "Failure");
    EXPECT_EQ(loader.packets_refused(), 2);
}

}  // namespace
}  // namespace qvx::sim
