// The status bar's judgement of the connection: a silent sensor is told apart from an idle link,
// a dropped link is called so, and the texts name the link and the sensor.

#include <gtest/gtest.h>

#include "app/link_status.h"

namespace qvx {
namespace {

LinkStatusInputs Connected() {
    LinkStatusInputs in;
    in.connected = true;
    in.link_open = true;
    in.link = "10.0.0.5:10001";
    in.sensor_id = "0012";
    in.sensor_description = "North bridge                    ";
    in.response_wait_ms = 250;
    in.interval_seconds = 20;
    in.now_ms = 1'700'000'100'000;
    in.last_good_ms = in.now_ms - 5'000;
    return in;
}

TEST(LinkStatus, SilentOnlyAfterFailuresAndTwoIntervalsWithoutAnswer) {
    LinkStatusInputs in = Connected();
    EXPECT_EQ(JudgeLinkHealth(in), LinkHealth::Ok);

    // Idle for ten minutes with nothing failing: the link is quiet, not silent.
    in.last_good_ms = in.now_ms - 600'000;
    EXPECT_EQ(JudgeLinkHealth(in), LinkHealth::Ok);

    // Failing, but the last answer is within two intervals (40 s).
    in.last_good_ms = in.now_ms - 39'000;
    in.last_failed_ms = in.now_ms - 1'000;
    EXPECT_EQ(JudgeLinkHealth(in), LinkHealth::Ok);

    in.last_good_ms = in.now_ms - 41'000;
    EXPECT_EQ(JudgeLinkHealth(in), LinkHealth::Silent);
    EXPECT_EQ(DescribeLinkStatus(in).warning, "No answer from the sensor for 41 s");

    // A longer interval stretches the patience.
    in.interval_seconds = 60;
    EXPECT_EQ(JudgeLinkHealth(in), LinkHealth::Ok);

    // A good exchange after the failures ends the warning at once.
    in.last_good_ms = in.now_ms;
    EXPECT_EQ(JudgeLinkHealth(in), LinkHealth::Ok);
}

TEST(LinkStatus, DroppedLinkAndNoConnection) {
    LinkStatusInputs in = Connected();
    in.link_open = false;
    EXPECT_EQ(JudgeLinkHealth(in), LinkHealth::Dropped);
    EXPECT_EQ(DescribeLinkStatus(in).warning, "The link to the sensor dropped");

    in.connected = false;
    const LinkStatus none = DescribeLinkStatus(in);
    EXPECT_EQ(none.health, LinkHealth::NotConnected);
    EXPECT_EQ(none.link, "Not connected");
    EXPECT_TRUE(none.warning.empty());
    EXPECT_TRUE(none.sensor.empty());
    EXPECT_EQ(WindowTitle("Quorvix Manager 3.0.1", in), "Quorvix Manager 3.0.1");
}

TEST(LinkStatus, TextsNameTheLinkTheSensorAndLogging) {
    LinkStatusInputs in = Connected();
    LinkStatus status = DescribeLinkStatus(in);
    EXPECT_EQ(status.link, "10.0.0.5:10001");
    EXPECT_EQ(status.sensor, "Sensor 0012 \u2014 North bridge");
    EXPECT_EQ(status.response_wait, "Response wait 250 ms");
    EXPECT_EQ(status.last_exchange.rfind("Last answer ", 0), 0u);
    EXPECT_TRUE(status.logging.empty());
    EXPECT_EQ(WindowTitle("Quorvix Manager 3.0.1", in),
              "Sensor 0012 \u2014 North bridge (10.0.0.5:10001) \u2014 Quorvix Manager 3.0.1");

    in.logging = true;
    EXPECT_EQ(DescribeLinkStatus(in).logging, "Logging on");
    // The simple protocol's "FFFF" and an unread description say nothing about the sensor.
    in.sensor_id = "FFFF";
    in.sensor_description = "Unknown";
    in.last_good_ms = 0;
    status = DescribeLinkStatus(in);
    EXPECT_EQ(status.sensor, "Sensor");
    EXPECT_EQ(status.last_exchange, "No answer yet");
}

}  // namespace
}  // namespace qvx
