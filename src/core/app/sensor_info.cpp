#include "app/sensor_info.h"

#include "protocol/catalogue.h"
#include "protocol/transaction.h"
#include "protocol/transaction_result.h"

namespace qvx {

namespace {

constexpr int kRetries = 1;

struct Slice {
    std::size_t first;
    std::size_t last;  // inclusive
};

constexpr Slice kDsp{5, 24};
constexpr Slice kFpga{32, 35};
constexpr Slice kSerialNumber{0, 15};
constexpr Slice kSensorId{66, 69};
constexpr Slice kLocation{78, 109};
constexpr Slice kDescription{110, 141};

// The sensor's word for where a field sits is trusted only as far as its reply reaches.
void TakeSlice(const std::string& reply, Slice slice, std::string& field) {
    if (reply.size() > slice.last) {
        field = reply.substr(slice.first, slice.last - slice.first + 1);
    }
}

TransactionResult Read(SensorProtocol& protocol, const char* code, std::string& reply) {
    return protocol.SendSensorCommand({.code = code,
                                       .payload = "\r",
                                       .on_error = ErrorPolicy::Report,
                                       .retries = kRetries,
                                       .link_recovery = true},
                                      reply);
}

}  // namespace

void TakeConfigInfoFields(const std::string& record, SensorInformation& info) {
    TakeSlice(record, kSerialNumber, info.serial_number);
    TakeSlice(record, kSensorId, info.sensor_id);
    TakeSlice(record, kLocation, info.location);
    TakeSlice(record, kDescription, info.description);
}

TransactionResult ReadSensorInformation(SensorProtocol& protocol, SensorInformation& info) {
    std::string reply;
    TransactionResult result = Read(protocol, cmd::kGetVersion, reply);
    if (result != TransactionResult::Ok) {
        return result;
    }
    TakeSlice(reply, kDsp, info.dsp);
    TakeSlice(reply, kFpga, info.fpga);

    result = Read(protocol, cmd::kGetConfigInfo, reply);
    if (result != TransactionResult::Ok) {
        return result;
    }
    TakeConfigInfoFields(reply, info);

    result = Read(protocol, cmd::kGetConnectionPort, reply);
    if (result == TransactionResult::Ok) {
        info.serial_interface = reply;
    }
    return result;
}

}  // namespace qvx
