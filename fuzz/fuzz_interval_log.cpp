// Interval logs from disk: any bytes must read without harm, and whatever is read must export
// to 3-card records of exactly 141 characters and a line feed (or to nothing, with a reason),
// and to CSV with one row per record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "export/csv_export.h"
#include "export/interval_log_reader.h"
#include "export/log_chart_data.h"
#include "export/three_card.h"

namespace {

void CheckCard(const qvx::LogData& log) {
    qvx::CardSettings settings;
    settings.station = "42";
    for (std::size_t i = 0; i < log.lane_names.size(); ++i) {
        settings.lanes.push_back(qvx::DefaultLaneMapping(i));
    }
    if (!settings.lanes.empty()) {
        settings.lanes.back().lane_code = '0';
    }
    const qvx::CardComposition card = qvx::ComposeCardFile(log, settings);
    if (card.status != qvx::CardStatus::Ok) {
        if (!card.text.empty()) {
            std::abort();
        }
        return;
    }
    if (card.text.size() != card.record_count * (qvx::kCardRecordLength + 1)) {
        std::abort();
    }
    for (std::size_t at = qvx::kCardRecordLength; at < card.text.size(); at += qvx::kCardRecordLength + 1) {
        if (card.text[at] != '\n') {
            std::abort();
        }
    }
}

void CheckCsv(const qvx::LogData& log) {
    const std::string csv = qvx::ComposeCsvFile(log);
    std::size_t rows = 0;
    for (std::size_t at = csv.find("\r\n"); at != std::string::npos; at = csv.find("\r\n", at + 2)) {
        ++rows;
    }
    // Lane names may hold a CR LF of their own inside quotes; never fewer rows than records.
    if (rows < log.records.size() + 1) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const qvx::DayRange& range : {qvx::DayRange{}, qvx::DayRange{"2011-05-01", "2011-05-01"}}) {
        const qvx::LogReadResult result = qvx::ReadIntervalLogText(text, range);
        if (result.data.lane_names.size() > qvx::kMaxLogLaneNames) {
            std::abort();
        }
        for (const qvx::LogRecord& record : result.data.records) {
            if (record.date() < range.first || record.date() > range.last) {
                std::abort();
            }
        }
        CheckCard(result.data);
        CheckCsv(result.data);
        qvx::BuildLogChart(result.data, 50);
    }
    return 0;
}
