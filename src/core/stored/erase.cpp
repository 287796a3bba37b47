#include "stored/erase.h"

#include "base/busy_flag.h"
#include "base/hex_text.h"
#include "context/app_context.h"
#include "protocol/catalogue.h"
#include "protocol/refusal.h"
#include "protocol/sensor_operations.h"
#include "protocol/transaction_result.h"
#include "stored/download.h"

namespace qvx {

namespace {

void Tell(AppContext& app, const std::string& text, const char* caption, IconKind icon) {
    MessageRequest request;
    request.text = text;
    request.caption = caption;
    request.icon = icon;
    app.prompts().Message(request);
}

bool Succeeded(const char* code, TransactionResult result, const std::string& reply) {
    return result == TransactionResult::Ok && !IsRefusal(code, reply);
}

}  // namespace

bool FlushIntervalBuffers(AppContext& app) {
    std::string reply;
    if (!Succeeded("XE",
                   app.protocol.SendSensorCommand({.code = "XE",
                                                   .payload = "\r",
                                                   .on_error = ErrorPolicy::Report,
                                                   .retries = 1,
                                                   .link_recovery = true},
                                                  reply),
                   reply)) {
        return false;
    }
    return Succeeded("XF",
                     app.protocol.SendSensorCommand({.code = "XF",
                                                     .payload = "\r",
                                                     .on_error = ErrorPolicy::Report,
                                                     .retries = 1,
                                                     .link_recovery = true},
                                                    reply),
                     reply);
}

EraseInspection InspectBeforeErase(AppContext& app) {
    EraseInspection inspection;
    if (!app.records.ReadConfigInfo().ok()) {
        Tell(app, kEraseSensorErrorText, "Failure", IconKind::Error);
        return inspection;
    }
    const std::string serial = app.configuration.GetConfigField(config_field::kSerialNumber);
    const std::uint32_t mark = ReadIncrementalMark(app, serial);

    std::string reply;
    const TransactionResult result = app.protocol.SendSensorCommand(
        {.code = cmd::kGetIndexedData, .payload = "0001\r", .retries = 2, .link_recovery = true}, reply);
    if (result == TransactionResult::Ok &&
        (reply.find("Empty") != std::string::npos || reply.find("No lanes") != std::string::npos ||
         reply.find("No Lanes") != std::string::npos)) {
        Tell(app, kNothingToEraseText, "Information", IconKind::Information);
        inspection.outcome = EraseOutcome::NothingToErase;
        return inspection;
    }
    // Without a readable newest record there is no telling what is new: count it as new.
    const auto newest =
        result == TransactionResult::Ok && reply.size() >= 8 ? hex::Parse(reply.substr(0, 8)) : std::nullopt;
    inspection.new_data = !newest || *newest != mark;
    inspection.question = inspection.new_data ? kNewDataEraseText : kEraseWarningText;
    inspection.outcome = EraseOutcome::Erased;
    return inspection;
}

// Erasing after a download that did not save would lose exactly the data the user chose to keep.
bool DownloadAllowsErase(AppContext& app, const DownloadSummary& summary) {
    if (LeavesNothingUnfetched(summary)) {
        return true;
    }
    Tell(app, kDownloadBeforeEraseFailedText, "Error...?", IconKind::Error);
    return false;
}

EraseOutcome EraseNow(AppContext& app, SensorOperations& operations) {
    busy_flag::Set();
    operations.BeginSensorOperation();
    const bool flushed = FlushIntervalBuffers(app);
    operations.EndSensorOperation();
    busy_flag::Clear();
    if (!flushed) {
        Tell(app, kEraseFailedText, "Error...?", IconKind::Error);
        return EraseOutcome::EraseFailed;
    }
    return EraseOutcome::Erased;
}

EraseOutcome EraseDataBuffers(AppContext& app, SensorOperations& operations, const EraseHooks& hooks) {
    const EraseInspection inspection = InspectBeforeErase(app);
    if (inspection.outcome != EraseOutcome::Erased) {
        return inspection.outcome;
    }
    const EraseChoice choice = hooks.choose(inspection.question, inspection.new_data);
    if (choice == EraseChoice::Cancel) {
        return EraseOutcome::Cancelled;
    }
    if (choice == EraseChoice::DownloadAndErase &&
        (!hooks.download_first || !DownloadAllowsErase(app, hooks.download_first()))) {
        return EraseOutcome::DownloadFailed;
    }
    return EraseNow(app, operations);
}

}  // namespace qvx
