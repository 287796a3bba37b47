// Settings files from disk: any bytes must be refused or accepted without harm, and a file that
// is accepted must write back to a file that reads as the same records.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (bool side_fire : {true, false}) {
        const qvx::SettingsFileParse parse = qvx::ParseSettingsFile(bytes, side_fire);
        if (!parse.ok) {
            continue;
        }
        qvx::SensorConfiguration config;
        qvx::ApplySettingsFile(parse.records, side_fire, config);
        const std::string written = qvx::ComposeSettingsFile(config, side_fire);
        const qvx::SettingsFileParse again = qvx::ParseSettingsFile(written, side_fire);
        if (!again.ok || again.records.config != parse.records.config ||
            again.records.extended != parse.records.extended ||
            again.records.collection != parse.records.collection ||
            again.records.algorithm != parse.records.algorithm) {
            std::abort();
        }
    }
    return 0;
}
