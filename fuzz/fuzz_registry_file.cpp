// The registry file as the store reads it from disk: whatever the file holds, a write keeps every
// value that could be read before and every line it did not understand, and a file that is no
// registry at all is moved aside whole instead of being overwritten.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/registry_format.h"
#include "platform/registry_store.h"

namespace rf = qvx::registry_format;
namespace fs = std::filesystem;

namespace {

const std::string& Folder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/qvx-fuzz-registry-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (!made)
            std::abort();
        qvx::SetRegistryNoticeHandler([](const std::string&) {});
        return std::string(made);
    }();
    return folder;
}

void Require(bool condition) {
    if (!condition)
        std::abort();
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every value of the old document reads the same from the new one.
void RequireValuesKept(const rf::Document& before, const rf::Document& after) {
    for (const rf::Key& key : before.keys) {
        if (key.damaged)
            continue;
        const rf::Key* kept = after.FindKey(key.name);
        Require(kept != nullptr);
        for (const rf::Value& value : key.values) {
            if (value.kept_verbatim)
                continue;
            const rf::Value* found = rf::FindValue(*kept, value.name);
            if (rf::FindValue(key, value.name) != &value)
                continue;  // a later duplicate won
            Require(found && found->type == value.type && found->bytes == value.bytes);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string path = Folder() + "/registry";
    for (const auto& entry : fs::directory_iterator(Folder()))
        fs::remove(entry.path());
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }
    const rf::Document before = rf::Parse(text);
    qvx::RegistryStore store(path);
    (void)store.GetString("Software\\Korvane\\DLX2.0\\Logs", "Log Folder", 500);
    (void)store.GetInt("Software\\Korvane\\DLX2.0\\Connection Default Settings", "Use Delay");
    (void)store.KeyExists("Software\\Korvane");
    Require(store.SetString("Software\\Korvane\\Fuzz", "Fuzz Value", "written"));
    Require(store.GetString("Software\\Korvane\\Fuzz", "Fuzz Value") == "written");

    const std::string written = ReadAll(path);
    const rf::Document after = rf::Parse(written);
    if (before.Unusable()) {
        int aside = 0;
        for (const auto& entry : fs::directory_iterator(Folder())) {
            if (entry.path().filename().string().rfind("registry.bad-", 0) == 0) {
                Require(ReadAll(entry.path().string()) == text);
                ++aside;
            }
        }
        Require(aside == 1);
    } else {
        RequireValuesKept(before, after);
        Require(after.skipped_lines == before.skipped_lines);
    }
    // A second write of the same value changes nothing: the layout is stable.
    Require(store.SetString("Software\\Korvane\\Fuzz", "Fuzz Value", "written"));
    Require(ReadAll(path) == written);
    return 0;
}
