#pragma once
// The last step of an export, shared by the wizard and qvx: compose the file in memory, ask
// before replacing an existing one, write it in one piece, and say what happened.

#include <functional>
#include <string>
#include <vector>

#include "export/interval_log_reader.h"
#include "export/three_card.h"

namespace qvx {

enum class ExportOutcome {
    Written,
    Declined,  // the file exists and the user kept it
    Failed,    // nothing was written; message says why
};

struct ExportResult {
    ExportOutcome outcome = ExportOutcome::Failed;
    std::string path;
    ExportMessage message;  // the success message, or why nothing was written
    std::size_t rows = 0;   // records (3-card) or data rows (CSV) written
    // Records of the log the file does not carry (3-card: lane names without a mapping or
    // passed over after lane code '0').
    std::size_t unexported_records = 0;
};

// Asked when the target exists: true to replace it.
using OverwriteQuestion = std::function<bool(const std::string& path)>;

ExportResult ExportCardFile(const LogData& log, const CardSettings& settings, const std::string& path,
                            const OverwriteQuestion& overwrite);
ExportResult ExportCsvFile(const LogData& log, const std::string& path, const OverwriteQuestion& overwrite);

// "%d damaged lines of the log were skipped." and the like, for what the log reader and the
// export passed over; empty when nothing was.
std::vector<std::string> ExportNotices(const LogData& log, const ExportResult& result);

}  // namespace qvx
