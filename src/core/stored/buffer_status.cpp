#include "stored/buffer_status.h"

#include <cstdio>

#include "base/hex_text.h"
#include "context/app_context.h"
#include "protocol/catalogue.h"
#include "protocol/transaction_result.h"

namespace qvx {

namespace {

constexpr std::size_t kShortestRecordReply = 9;
constexpr int kProbeRetries = 2;

std::optional<unsigned> FlagsOfConfig(const AppContext& app) {
    const std::string field = app.configuration.GetConfigField(config_field::kFlags);
    if (field.size() != 1) {
        return std::nullopt;
    }
    return static_cast<unsigned char>(field[0]);
}

}  // namespace

CountResult CountStoredRecords(const RecordProbe& probe, int capacity) {
    CountResult result;
    int highest_present = 0;  // index 0 stands for "before the newest record"
    int lowest_absent = capacity + 1;
    int errors = 0;
    while (result.probes < kMaxCountProbes) {
        if (lowest_absent - highest_present <= 1) {
            result.ok = true;
            result.count = highest_present;
            return result;
        }
        const int mid = (highest_present + lowest_absent) / 2;
        ++result.probes;
        switch (probe(mid)) {
            case ProbeAnswer::Exists:
                highest_present = mid;
                break;
            case ProbeAnswer::Missing:
                lowest_absent = mid;
                break;
            case ProbeAnswer::BufferEmpty:
                result.ok = true;
                result.count = 0;
                return result;
            case ProbeAnswer::Unclear:
                if (++errors > kMaxCountErrors) {
                    return result;
                }
                break;
            case ProbeAnswer::Failed:
                return result;
        }
    }
    if (lowest_absent - highest_present <= 1) {
        result.ok = true;
        result.count = highest_present;
    }
    return result;
}

RecordProbe SensorRecordProbe(AppContext& app) {
    return [&app](int index) {
        std::string reply;
        const TransactionResult result = app.protocol.SendSensorCommand(
            {.code = cmd::kGetIndexedData,
             .payload = hex::Format(static_cast<std::uint32_t>(index), 4) + "\r",
             .retries = kProbeRetries,
             .link_recovery = true},
            reply);
        if (result != TransactionResult::Ok) {
            return ProbeAnswer::Failed;
        }
        if (reply.size() >= kShortestRecordReply) {
            return ProbeAnswer::Exists;
        }
        if (reply.find("Invalid") != std::string::npos) {
            return ProbeAnswer::Missing;
        }
        if (reply.find("Empty") != std::string::npos) {
            return ProbeAnswer::BufferEmpty;
        }
        return ProbeAnswer::Unclear;
    };
}

std::optional<int> CountSelectedRecords(AppContext& app) {
    const CountResult counted = CountStoredRecords(SensorRecordProbe(app), kFlashCapacity);
    if (!counted.ok) {
        return std::nullopt;
    }
    return counted.count;
}

std::optional<unsigned> WriteStorageFlags(AppContext& app, unsigned flags) {
    const char character = static_cast<char>(flags & 0xFF);
    if (!app.configuration.SetConfigField(config_field::kFlags, std::string_view(&character, 1)) ||
        !app.records.WriteConfigInfo(false, false).ok() || !app.records.ReadConfigInfo().ok()) {
        return std::nullopt;
    }
    return FlagsOfConfig(app);
}

int SelectFlashBuffer(AppContext& app, unsigned& saved_flags) {
    if (!app.records.ReadConfigInfo().ok()) {
        return 0;
    }
    const std::optional<unsigned> flags = FlagsOfConfig(app);
    if (!flags || (*flags & storage_flag::kStatusEnabled) == 0) {
        return 0;
    }
    saved_flags = *flags;
    const auto held = WriteStorageFlags(app, (*flags | storage_flag::kReadFlash) & ~storage_flag::kReadSram);
    return held && (*held & storage_flag::kReadFlash) && !(*held & storage_flag::kReadSram) ? 1 : 0;
}

int SelectSramBuffer(AppContext& app) {
    const std::optional<unsigned> flags = FlagsOfConfig(app);
    if (!flags) {
        return 0;
    }
    const auto held = WriteStorageFlags(app, (*flags & ~storage_flag::kReadFlash) | storage_flag::kReadSram);
    return held && !(*held & storage_flag::kReadFlash) && (*held & storage_flag::kReadSram) ? 1 : 0;
}

int RestoreBufferFlags(AppContext& app, unsigned saved_flags) {
    const unsigned written = (saved_flags | storage_flag::kStatusEnabled) & ~storage_flag::kProcedureBits;
    for (;;) {
        // The sensor must hold what was written: the saved character without the procedure's bits.
        const std::optional<unsigned> held = WriteStorageFlags(app, written);
        if (held && *held == written) {
            return 1;
        }
        if (!app.prompts().Ask("Warning...", kRestoreFlagsText, "Retry", "Cancel")) {
            return 0;
        }
    }
}

BufferStatus UpdateBufferStatus(AppContext& app) {
    BufferStatus status;
    unsigned saved_flags = 0;
    if (SelectFlashBuffer(app, saved_flags) != 1) {
        if (saved_flags != 0) {
            RestoreBufferFlags(app, saved_flags);
        }
        return status;
    }
    const RecordProbe probe = SensorRecordProbe(app);
    const CountResult flash = CountStoredRecords(probe, kFlashCapacity);
    CountResult sram;
    if (flash.ok && SelectSramBuffer(app) == 1) {
        sram = CountStoredRecords(probe, kSramCapacity);
    }
    const bool restored = RestoreBufferFlags(app, saved_flags) == 1;
    status.ok = flash.ok && sram.ok && restored;
    status.flash_count = flash.count;
    status.sram_count = sram.count;
    return status;
}

BufferFill DescribeBufferFill(int count, int capacity) {
    double percent = capacity > 0 ? count * 100.0 / capacity : 0.0;
    BufferFill fill;
    if (percent != 0.0) {
        if (percent >= 100.0) {
            percent = 100.0;
        } else if (percent < 0.1) {
            percent = 0.1;
        }
    }
    char text[64];
    std::snprintf(text, sizeof text, "%i/%i = %0.1f%%", count, capacity, percent);
    fill.text = text;
    fill.bar = percent == 0.0 ? 0 : percent >= 100.0 ? 100 : static_cast<int>(percent + 1.0);
    return fill;
}

}  // namespace qvx
