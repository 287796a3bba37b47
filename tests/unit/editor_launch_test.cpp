#include "platform/editor_launch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <optional>
#include <thread>

#include "support/scratch_folder.h"

namespace qvx {
namespace {

using test::ReadFileText;
using test::ScratchFolder;
using test::WriteFileText;

class EnvironmentOverride {
  public:
    EnvironmentOverride(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    }
    ~EnvironmentOverride() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// Each fake opener writes the arguments it was given, one per line, into a record file; the
// record appearing is the handshake that the detached program really ran.
class EditorLaunchTest : public ::testing::Test {
  protected:
    void InstallFake(const std::string& name) {
        const std::string script = bin_ + "/" + name;
        WriteFileText(script, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > " + record_ +
                                  ".tmp\n/bin/mv " + record_ + ".tmp " + record_ + "\n");
        chmod(script.c_str(), 0755);
    }
    std::string AwaitRecord() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            if (FILE* f = fopen(record_.c_str(), "r")) {
                fclose(f);
                return ReadFileText(record_);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return "<never ran>";
    }

    ScratchFolder folder_;
    std::string bin_ = folder_ / "bin";
    std::string record_ = folder_ / "record";
    std::string log_ = folder_ / "interval log 'one'.txt";
    EnvironmentOverride path_{"PATH", bin_};
    EnvironmentOverride visual_{"VISUAL", std::nullopt};
    EnvironmentOverride editor_{"EDITOR", std::nullopt};

    void SetUp() override {
        mkdir(bin_.c_str(), 0700);
        WriteFileText(log_, "log\r\n");
    }
};

TEST_F(EditorLaunchTest, OpensTheFileWithTheDesktopOpener) {
    InstallFake("xdg-open");
    InstallFake("fake-editor");
    EnvironmentOverride editor("EDITOR", bin_ + "/fake-editor");
    ASSERT_TRUE(LaunchTextEditor(log_));
    EXPECT_EQ(AwaitRecord(), log_ + "\n");
}

TEST_F(EditorLaunchTest, FallsBackToTheEditorVariableWithItsOptions) {
    InstallFake("fake-editor");
    EnvironmentOverride editor("EDITOR", "fake-editor --wait");
    ASSERT_TRUE(LaunchTextEditor(log_));
    EXPECT_EQ(AwaitRecord(), "--wait\n" + log_ + "\n");
}

TEST_F(EditorLaunchTest, FailsWithoutAFileOrAnOpener) {
    EXPECT_FALSE(LaunchTextEditor(log_));  // nothing installed
    EnvironmentOverride editor("EDITOR", "no-such-editor");
    EXPECT_FALSE(LaunchTextEditor(log_));
    InstallFake("xdg-open");
    EXPECT_FALSE(LaunchTextEditor(folder_ / "missing.txt"));
    EXPECT_FALSE(LaunchTextEditor(""));
}

}  // namespace
}  // namespace qvx
