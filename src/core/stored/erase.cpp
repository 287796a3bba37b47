#include "stored/erase.h"

#include "app/app_context.h"
#include "app/busy_flag.h"
#include "app/sensor_operations.h"
#include "protocol/catalogue.h"
#include "protocol/hex_text.h"
#include "protocol/transaction_result.h"
#include "stored/download.h"

namespace qvx {

namespace {

constexpr int kReported = 10;

void Tell(AppContext& app, const std::string& text, const char* caption, IconKind icon) {
    MessageRequest request;
    request.text = text;
    request.caption = caption;
    request.icon = icon;
    app.prompts().Message(request);
}

bool Succeeded(int result, const std::string& reply) {
    return result == kOk && reply.find("Failure") == std::string::npos;
}

}  // namespace

bool FlushIntervalBuffers(AppContext& app) {
    std::string reply;
    if (!Succeeded(app.protocol.SendSensorCommand("XE", "\r", reply, kReported, 1, true, 0), reply)) {
        return false;
    }
    return Succeeded(app.protocol.SendSensorCommand("XF", "\r", reply, kReported, 1, true, 0), reply);
}

EraseInspection InspectBeforeErase(AppContext& app) {
    EraseInspection inspection;
    if (app.records.ReadConfigInfo() != kOk) {
        Tell(app, kEraseSensorErrorText, "Failure", IconKind::Error);
        return inspection;
    }
    const std::string serial = app.configuration.GetConfigField(config_field::kSerialNumber);
    const std::uint32_t mark = ReadIncrementalMark(app, serial);

    std::string reply;
    const int result = app.protocol.SendSensorCommand(cmd::kGetIndexedData, "0001\r", reply, 0, 2, true, 0);
    if (result == kOk &&
        (reply.find("Empty") != std::string::npos || reply.find("No lanes") != std::string::npos ||
         reply.find("No Lanes") != std::string::npos)) {
        Tell(app, kNothingToEraseText, "Information", IconKind::Information);
        inspection.outcome = EraseOutcome::NothingToErase;
        return inspection;
    }
    // Without a readable newest record there is no telling what is new: count it as new.
    const auto newest = result == kOk && reply.size() >= 8 ? hex::Parse(reply.substr(0, 8)) : std::nullopt;
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
