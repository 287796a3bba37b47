#include "export/export_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>

#include "export/calendar_day.h"
#include "platform/file_read.h"
#include "platform/text_file.h"

namespace qvx {

namespace {

std::optional<int> IndexValue(const RegistryStore& registry, const char* name) {
    const auto text = registry.GetString(kKeyExportCard, name);
    int value = 0;
    if (!text || text->empty()) {
        return std::nullopt;
    }
    const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (ec != std::errc() || end != text->data() + text->size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

void LoadDay(const RegistryStore& registry, const char* name, std::string& day) {
    const auto text = registry.GetString(kKeyExportCard, name);
    if (text && ParseCalendarDay(*text)) {
        day = *text;
    }
}

std::string CodeString(const RegistryStore& registry, const std::string& key, const char* name,
                       const char* fallback) {
    std::string codes = registry.GetString(key, name).value_or(fallback);
    const std::string defaults = fallback;
    for (std::size_t i = 0; i < defaults.size(); ++i) {
        if (i >= codes.size()) {
            codes += defaults[i];
        } else if (codes[i] < '0' || codes[i] > '9') {
            codes[i] = defaults[i];
        }
    }
    return codes;
}

}  // namespace

std::string StationKey(const std::string& station) {
    return std::string(kKeyExportCard) + "\\" + station;
}

ImportChoice LoadImportChoice(const RegistryStore& registry) {
    ImportChoice choice;
    choice.file = registry.GetString(kKeyExport, "ImportFileName").value_or("");
    const std::string format = registry.GetString(kKeyExport, "ExportFileType").value_or(kExportFormat3Card);
    choice.format = format == kExportFormatCsv ? kExportFormatCsv : kExportFormat3Card;
    return choice;
}

bool SaveImportChoice(RegistryStore& registry, const ImportChoice& choice) {
    return registry.SetString(kKeyExport, "ImportFileName", choice.file) &&
           registry.SetString(kKeyExport, "ExportFileType", choice.format);
}

void LoadCardSettings(const RegistryStore& registry, CardSettings& settings) {
    LoadDay(registry, "startDate", settings.start_date);
    LoadDay(registry, "endDate", settings.end_date);
    if (const auto station = registry.GetString(kKeyExportCard, "station");
        station && IsValidStation(*station)) {
        settings.station = *station;
    }
    settings.state_index = IndexValue(registry, "state").value_or(settings.state_index);
    settings.class_index = IndexValue(registry, "class").value_or(settings.class_index);
    settings.restriction_index = IndexValue(registry, "restriction").value_or(settings.restriction_index);
}

bool SaveCardSettings(RegistryStore& registry, const CardSettings& settings) {
    return registry.SetString(kKeyExportCard, "startDate", settings.start_date) &&
           registry.SetString(kKeyExportCard, "endDate", settings.end_date) &&
           registry.SetString(kKeyExportCard, "station", settings.station) &&
           registry.SetString(kKeyExportCard, "state", std::to_string(settings.state_index)) &&
           registry.SetString(kKeyExportCard, "class", std::to_string(settings.class_index)) &&
           registry.SetString(kKeyExportCard, "restriction", std::to_string(settings.restriction_index));
}

std::vector<LaneMapping> LoadLaneMappings(const RegistryStore& registry, const std::string& station,
                                          std::size_t lane_count) {
    const std::string key = StationKey(station);
    const std::string lanes = CodeString(registry, key, "lane", kDefaultLaneCodes);
    const std::string travel = CodeString(registry, key, "travel", kDefaultTravelCodes);
    std::vector<LaneMapping> mappings;
    for (std::size_t i = 0; i < lane_count && i < kMaxLogLaneNames; ++i) {
        mappings.push_back({lanes[i], travel[i]});
    }
    return mappings;
}

bool SaveLaneMappings(RegistryStore& registry, const std::string& station,
                      const std::vector<LaneMapping>& lanes) {
    const std::string key = StationKey(station);
    // Lanes beyond this log's keep what an earlier log of the station set for them.
    std::string lane_codes = CodeString(registry, key, "lane", kDefaultLaneCodes);
    std::string travel_codes = CodeString(registry, key, "travel", kDefaultTravelCodes);
    for (std::size_t i = 0; i < lanes.size() && i < kMaxLogLaneNames; ++i) {
        lane_codes[i] = lanes[i].lane_code;
        travel_codes[i] = lanes[i].direction_index;
    }
    return registry.SetString(key, "lane", lane_codes.substr(0, kMaxLogLaneNames)) &&
           registry.SetString(key, "travel", travel_codes.substr(0, kMaxLogLaneNames));
}

std::optional<ExportMessage> CheckImportFile(const std::string& path) {
    if (path.empty()) {
        return ExportMessage{"Please select a file to export.", "No File Selected..."};
    }
    const int fd = OpenRegularFileForReading(path);
    const bool readable = fd >= 0;
    if (fd >= 0) {
        ::close(fd);
    }
    if (!readable) {
        return ExportMessage{"Cannot open selected file.", "File error..."};
    }
    return std::nullopt;
}

bool FileExists(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0;
}

bool WriteExportFile(const std::string& path, const std::string& text) {
    return WriteTextFileAtomically(path, text);
}

ExportMessage WriteFailedMessage(const std::string& path) {
    return {"The export file\r\n\"" + path + "\"\r\ncould not be written. Nothing was changed.",
            "File error..."};
}

}  // namespace qvx
