#pragma once
// Reading and writing the sensor's configuration records through the transaction: one read or
// write command per record, the flash save, and the guards of the main configuration write
// (serial number, port rate change).

#include <functional>
#include <string>
#include <string_view>

#include "protocol/sensor_configuration.h"
#include "protocol/transaction_result.h"
#include "protocol/user_prompts.h"

namespace qvx {

class SensorProtocol;
struct ConnectionState;
struct RecordPart;

// Which records ReadSensorConfiguration reads before it asks for the connection port.
namespace read_flag {
inline constexpr unsigned kConfig = 0x01;
inline constexpr unsigned kExtended = 0x02;
inline constexpr unsigned kCollection = 0x04;
inline constexpr unsigned kSideFire = 0x08;        // "S3"
inline constexpr unsigned kSideFireNoise = 0x10;   // with kSideFire: "S3N" too
inline constexpr unsigned kForwardFire = 0x20;     // "SG0"
inline constexpr unsigned kForwardFireAll = 0x40;  // with kForwardFire: "SG1".."SG3" too
inline constexpr unsigned kGeneral = kConfig | kExtended | kCollection;
}  // namespace read_flag

// How a record read or write ended.
enum class RecordOutcome {
    Ok,
    NotLoaded,          // the slot holds no complete record: nothing was sent
    TransactionFailed,  // an exchange failed: RecordResult::transaction says how
    Refused,            // the sensor answered with a status word ("Failure", "Invalid")
    Malformed,          // the reply is not a record of the expected length or kind
    RateNotConfirmed,   // the port rate change did not take: the sensor answers at the old rate
    RateUnknown,        // 9999: neither the new nor the old port rate reaches the sensor
};

struct RecordResult {
    RecordOutcome outcome = RecordOutcome::Ok;
    // The failed exchange's result (Ignore, Cancel, Exit after the dialog) when outcome is
    // TransactionFailed; Ok otherwise.
    TransactionResult transaction = TransactionResult::Ok;

    bool ok() const { return outcome == RecordOutcome::Ok; }
    // The user chose Cancel or Exit in the communication-error dialog: abandon the sequence.
    bool abandoned() const {
        return transaction == TransactionResult::Cancel || transaction == TransactionResult::Exit;
    }
    bool operator==(const RecordResult&) const = default;
};

inline RecordResult RecordFailed(TransactionResult transaction) {
    return {RecordOutcome::TransactionFailed, transaction};
}

class RecordIo {
  public:
    RecordIo(SensorProtocol& protocol, SensorConfiguration& configuration);

    // Each leaves its slot empty on failure.
    RecordResult ReadConfigInfo();
    RecordResult ReadExtendedConfigInfo();  // also lane names and units letter
    RecordResult ReadCollectionConfigInfo();
    // Without with_noise (or all) the rest of the slot is kept from the previous read when it
    // was complete, so a later write still has the whole record.
    RecordResult ReadSfAlgorithmInfo(bool with_noise);
    RecordResult ReadFfAlgorithmInfo(bool all);
    // "SH": the connection port and its rate from the config record.
    RecordResult ReadConnectionPort();
    // The reads chosen by flags in record order, then "SH"; stops at the first failure.
    RecordResult ReadSensorConfiguration(unsigned flags);

    // Ok when the write (and the flash save, when asked for) succeeded. A slot shorter than the
    // record is not sent (NotLoaded). WriteConfigInfo may also end in RateNotConfirmed or
    // RateUnknown.
    RecordResult WriteConfigInfo(bool save_to_flash, bool confirm);
    RecordResult WriteExtendedConfigInfo(bool save_to_flash, bool confirm);
    RecordResult WriteCollectionConfigInfo(bool save_to_flash, bool confirm);
    RecordResult WriteSfAlgorithmInfo(bool save_to_flash, bool confirm);
    RecordResult WriteFfAlgorithmInfo(bool save_to_flash, bool confirm);

    // The engineering menus are unlocked: the config write may change the serial number.
    bool engineering_unlocked = false;
    // Pauses between steps; tests replace it to run without waiting.
    std::function<void(int ms)> sleep_ms;

  private:
    enum class RateOutcome { NewRate, OldRate, Unknown };

    // One record read: the reply when it is exactly length characters.
    RecordResult ReadRecord(const char* code, std::size_t length, int retries, bool reconnect,
                            std::string& out);
    // Reads the first part_count of a record's parts into slot; when only the head is read the
    // previous record's tail stays. A failed part empties the slot.
    RecordResult ReadRecordParts(RecordSlot slot, const RecordPart* parts, std::size_t part_count,
                                 std::size_t full_length);
    // Sends record + checksum + CR.
    RecordResult SendRecord(const char* code, std::string_view record, int retries, bool reconnect,
                            std::string& reply);
    // The flash save and its confirmation, after a successful write.
    RecordResult FinishWrite(bool save_to_flash, bool confirm);
    // Reads the sensor's serial number and keeps or overwrites it in record; Ok to go on.
    RecordResult ApplySerialGuard(std::string& record);
    RateOutcome ConfirmRateChange(std::uint32_t old_rate, std::uint32_t new_rate);
    bool Ping();
    void Message(const std::string& text, const std::string& caption, IconKind icon, int auto_close_ms = 0);
    ConnectionState& state();

    SensorProtocol& protocol_;
    SensorConfiguration& configuration_;
};

}  // namespace qvx
