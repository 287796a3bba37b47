#pragma once
// Reading and writing the sensor's configuration records through the transaction: one read or
// write command per record, the flash save, and the guards of the main configuration write
// (serial number, port rate change).

#include <functional>
#include <string>
#include <string_view>

#include "protocol/sensor_configuration.h"
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

// WriteConfigInfo's result when neither the new nor the old port rate reaches the sensor.
inline constexpr int kBaudRateUnknown = 9999;

class RecordIo {
  public:
    RecordIo(SensorProtocol& protocol, SensorConfiguration& configuration);

    // Each returns 1 on success and 0 otherwise, and leaves its slot empty on failure.
    int ReadConfigInfo();
    int ReadExtendedConfigInfo();  // also lane names and units letter
    int ReadCollectionConfigInfo();
    // Without with_noise (or all) the rest of the slot is kept from the previous read when it
    // was complete, so a later write still has the whole record.
    int ReadSfAlgorithmInfo(bool with_noise);
    int ReadFfAlgorithmInfo(bool all);
    // "SH": the connection port and its rate from the config record.
    int ReadConnectionPort();
    // The reads chosen by flags in record order, then "SH"; stops at the first failure.
    int ReadSensorConfiguration(unsigned flags);

    // 1 when the write (and the flash save, when asked for) succeeded. A slot shorter than the
    // record is refused without sending (0); a failed transaction gives its TransactionResult;
    // a "Failure" reply gives 0. WriteConfigInfo may also give kBaudRateUnknown.
    int WriteConfigInfo(bool save_to_flash, bool confirm);
    int WriteExtendedConfigInfo(bool save_to_flash, bool confirm);
    int WriteCollectionConfigInfo(bool save_to_flash, bool confirm);
    int WriteSfAlgorithmInfo(bool save_to_flash, bool confirm);
    int WriteFfAlgorithmInfo(bool save_to_flash, bool confirm);

    // The engineering menus are unlocked: the config write may change the serial number.
    bool engineering_unlocked = false;
    // Pauses between steps; tests replace it to run without waiting.
    std::function<void(int ms)> sleep_ms;

  private:
    enum class RateOutcome { NewRate, OldRate, Unknown };

    // One record read: the reply when it is exactly length characters.
    bool ReadRecord(const char* code, std::size_t length, int retries, bool reconnect, std::string& out);
    // Reads the first part_count of a record's parts into slot; when only the head is read the
    // previous record's tail stays. A failed part empties the slot. 1 when read, else 0.
    int ReadRecordParts(RecordSlot slot, const RecordPart* parts, std::size_t part_count,
                        std::size_t full_length);
    // Sends record + checksum + CR; 1 when written, else the failure (0 for a refusal).
    int SendRecord(const char* code, std::string_view record, int retries, bool reconnect,
                   std::string& reply);
    // The flash save and its confirmation, after a successful write.
    int FinishWrite(bool save_to_flash, bool confirm);
    // Reads the sensor's serial number and keeps or overwrites it in record; 1 to go on.
    int ApplySerialGuard(std::string& record);
    RateOutcome ConfirmRateChange(std::uint32_t old_rate, std::uint32_t new_rate);
    int Ping();
    void Message(const std::string& text, const std::string& caption, IconKind icon, int auto_close_ms = 0);
    ConnectionState& state();

    SensorProtocol& protocol_;
    SensorConfiguration& configuration_;
};

}  // namespace qvx
