// The input parameters file as the Internet connection reads it from disk: any bytes give either
// the fields of its first 512 bytes or the message that the file was not used, never a crash,
// and the fields never hold a blank, a line end or more than fits the dialog.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "../tests/support/scripted_prompts.h"
#include "connect/connection_defaults.h"
#include "connect/input_parameters.h"
#include "connect/internet_connect.h"
#include "context/app_context.h"
#include "platform/registry_store.h"
#include "protocol/user_prompts.h"

namespace {

const std::string& Folder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/qvx-fuzz-params-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (!made)
            std::abort();
        return std::string(made);
    }();
    return folder;
}

void Require(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string path = Folder() + "/params.txt";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }
    const auto read = qvx::ReadInputParametersFile(path);
    Require(read.has_value());
    const qvx::InputParameters parsed =
        qvx::ParseInputParameters(text.substr(0, qvx::kInputParametersMaxBytes));
    Require(read->address == parsed.address && read->port == parsed.port &&
            read->sensor_id == parsed.sensor_id);
    Require(read->address.find(' ') == std::string::npos && read->port.find(' ') == std::string::npos);

    static qvx::ScriptedPrompts prompts;
    static qvx::AppContext app(prompts, qvx::RegistryStore(Folder() + "/registry"));
    qvx::ConnectionDefaults defaults;
    const qvx::InternetFields fields = qvx::OpenInternetConnection(app, path, defaults);
    if (fields.error.empty()) {
        Require(!fields.address.empty() && fields.address.size() <= 15);
        Require(fields.port.size() <= 5 && fields.port.find_first_not_of("0123456789") == std::string::npos);
        Require(fields.address.find_first_of(" \r\n") == std::string::npos);
    } else {
        Require(fields.address.empty() && fields.port.empty());
    }
    return 0;
}
