#include "connect/input_parameters.h"

#include "connect/connection_defaults.h"
#include "platform/file_read.h"

namespace qvx {

InputParameters ParseInputParameters(const std::string& text) {
    // The parameters are one line: what follows the first line end (a second line, an editor's
    // trailing blank line) is not part of the address, port or ID.
    std::string line = text.substr(0, kInputParametersMaxBytes);
    line = line.substr(0, line.find_first_of("\r\n"));
    InputParameters parameters;
    std::size_t first_blank = line.find(' ');
    parameters.address = line.substr(0, first_blank);
    if (first_blank == std::string::npos) {
        return parameters;
    }
    std::string rest = line.substr(first_blank + 1);
    std::size_t second_blank = rest.find(' ');
    parameters.port = rest.substr(0, second_blank);
    if (second_blank != std::string::npos) {
        parameters.sensor_id = rest.substr(second_blank + 1);
    }
    return parameters;
}

std::optional<InputParameters> ReadInputParametersFile(const std::string& path, std::string* problem) {
    // Only the first 512 bytes count, so a longer file is read in part; a FIFO or a device is
    // refused before anything waits on it.
    const FileRead read = ReadRegularFile(path, kInputParametersMaxBytes, OverSize::Truncate);
    if (!read.ok()) {
        if (problem && read.status != FileReadStatus::Missing) {
            *problem = FileReadProblem(path, read, kInputParametersMaxBytes, "input parameters file");
        }
        return std::nullopt;
    }
    return ParseInputParameters(read.content);
}

void ApplyChosenSensorId(const std::string& sensor_id, ConnectionState& state) {
    state.multidrop_enabled = true;
    if (sensor_id.size() == kMultiDropIdLength) {
        state.multidrop_mode = kMultiDropFixedId;
        state.SetMultiDropId(sensor_id);
    } else {
        state.multidrop_mode = kMultiDropDetect;
        state.SetMultiDropId("");
    }
}

}  // namespace qvx
