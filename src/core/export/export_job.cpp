#include "export/export_job.h"

#include "export/csv_export.h"
#include "export/export_settings.h"

namespace qvx {

namespace {

ExportResult WriteComposed(const std::string& path, const std::string& text,
                           const OverwriteQuestion& overwrite, ExportResult result) {
    result.path = path;
    if (FileExists(path) && !overwrite(path)) {
        result.outcome = ExportOutcome::Declined;
        return result;
    }
    if (!WriteExportFile(path, text)) {
        result.outcome = ExportOutcome::Failed;
        result.message = WriteFailedMessage(path);
        return result;
    }
    result.outcome = ExportOutcome::Written;
    return result;
}

}  // namespace

ExportResult ExportCardFile(const LogData& log, const CardSettings& settings, const std::string& path,
                            const OverwriteQuestion& overwrite) {
    const CardComposition card = ComposeCardFile(log, settings);
    ExportResult result;
    result.path = path;
    if (card.status != CardStatus::Ok) {
        result.message = CardCompositionMessage(card);
        return result;
    }
    result.rows = card.record_count;
    result.unexported_records = card.unexported_records;
    result = WriteComposed(path, card.text, overwrite, result);
    if (result.outcome == ExportOutcome::Written) {
        result.message = CardSuccessMessage(path);
    }
    return result;
}

ExportResult ExportCsvFile(const LogData& log, const std::string& path, const OverwriteQuestion& overwrite) {
    ExportResult result;
    result.rows = log.records.size();
    result = WriteComposed(path, ComposeCsvFile(log), overwrite, result);
    if (result.outcome == ExportOutcome::Written) {
        result.message = CsvSuccessMessage(path);
    }
    return result;
}

std::vector<std::string> ExportNotices(const LogData& log, const ExportResult& result) {
    std::vector<std::string> notices;
    if (log.damaged_lines > 0) {
        notices.push_back(std::to_string(log.damaged_lines) +
                          " damaged lines of the log (a date that does not exist, a column that is not a "
                          "number or is missing) were skipped.");
    }
    if (result.unexported_records > 0) {
        notices.push_back(std::to_string(result.unexported_records) +
                          " records of the log belong to no exported lane (a ninth lane name, or a lane code "
                          "after lane code 0 of its direction) and are not in the file.");
    }
    return notices;
}

}  // namespace qvx
