#pragma once
// "qvx export 3card ..." and "qvx export csv ...": files from an interval log, no sensor needed.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace qvx::cli {

struct ExportArgs {
    bool csv = false;
    std::string log_path;
    std::string from;  // "YYYY-MM-DD"
    std::string to;
    std::string station;
    std::string state;             // a name or a two-digit code
    std::string functional_class;  // a two-digit code or a name
    int restriction = 0;
    std::vector<std::string> lanes;  // NAME=LANE:DIR
    std::string out;                 // 3card: a folder; csv: a file
    bool overwrite = false;
};

// Any of the export options was given.
bool HasExportOptions(const ExportArgs& args);

// The words after "export" ("3card LOG" or "csv LOG"), checked with the options already
// gathered. The error text, or nothing.
std::optional<std::string> ParseExportCommand(const std::vector<std::string>& words, ExportArgs& args);

int RunExport(const ExportArgs& args, std::ostream& out, std::ostream& err);

}  // namespace qvx::cli
