#pragma once
// What the export wizard remembers between runs, under the registry keys it has always used:
// the chosen log and format (step 1), the dates, station and codes (step 2) and, per station,
// the lane mapping (step 3). Also the checks and file steps the wizard and qvx share.

#include <optional>
#include <string>
#include <vector>

#include "export/interval_log_reader.h"
#include "export/three_card.h"
#include "platform/registry_store.h"

namespace qvx {

inline constexpr const char* kKeyExportCard = "Software\\Korvane\\Export\\Card";
inline constexpr const char* kExportFormat3Card = "3 Card";
inline constexpr const char* kExportFormatCsv = "CSV";
inline constexpr const char* kDefaultLaneCodes = "12345678";
inline constexpr const char* kDefaultTravelCodes = "00000000";

// "Software\Korvane\Export\Card\" followed by the station ID.
std::string StationKey(const std::string& station);

struct ImportChoice {
    std::string file;
    std::string format = kExportFormat3Card;
};
ImportChoice LoadImportChoice(const RegistryStore& registry);
bool SaveImportChoice(RegistryStore& registry, const ImportChoice& choice);

// Step 2: dates, station, state, class and restriction (the list indexes as decimal text).
// Loading keeps what settings held for values that are missing or unreadable.
void LoadCardSettings(const RegistryStore& registry, CardSettings& settings);
bool SaveCardSettings(RegistryStore& registry, const CardSettings& settings);

// Step 3: the mapping of lane_count lane names for the station, from the values "lane" and
// "travel" (the defaults where missing).
std::vector<LaneMapping> LoadLaneMappings(const RegistryStore& registry, const std::string& station,
                                          std::size_t lane_count);
bool SaveLaneMappings(RegistryStore& registry, const std::string& station,
                      const std::vector<LaneMapping>& lanes);

// Step 1's "Continue": nothing chosen, or a file that cannot be opened.
std::optional<ExportMessage> CheckImportFile(const std::string& path);

bool FileExists(const std::string& path);
// The text written in one piece (temporary file renamed over the target).
bool WriteExportFile(const std::string& path, const std::string& text);
ExportMessage WriteFailedMessage(const std::string& path);

}  // namespace qvx
