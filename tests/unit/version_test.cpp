#include <gtest/gtest.h>

#include <string>

#include "app/version.h"

TEST(Version, TitleNamesProgramAndVersion) {
    EXPECT_EQ(std::string(qvx::kProgramTitle), std::string(qvx::kProgramName) + " " + qvx::kProgramVersion);
}
