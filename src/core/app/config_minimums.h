#pragma once
// The minimum standards every side-fire sensor gets after a connection: limits in the extended,
// noise and collection records that older set-ups left too low (or too high). Records are only
// written back when a field needs changing, and the flash save follows only a complete run.

#include <functional>
#include <string>

namespace qvx {

class SensorProtocol;
class SensorOperations;

// Each adjusts one record in place; true when it changed anything. A record too short for its
// fields is left alone.
bool LimitExtendedRecord(std::string& extended);
// The sensor covers a short range when both range fields of the side-fire algorithm record are
// small; such sensors get a higher noise floor on their second field.
bool IsShortRange(const std::string& sf_algorithm);
bool RaiseNoiseRecord(std::string& noise, bool short_range);
bool RaiseCollectionRecord(std::string& collection);

struct MinimumsResult {
    bool changed = false;  // a record was written back
    bool saved = false;    // and the flash save succeeded
};

// Reads, adjusts and writes back the records, then saves them to flash when something changed.
// sleep_ms pauses before the save (tests pass a no-op).
MinimumsResult EnforceMinimums(SensorProtocol& protocol, SensorOperations& operations,
                               const std::function<void(int ms)>& sleep_ms);

}  // namespace qvx
