// Feeds arbitrary line bytes to the response recogniser and the validation of a command chosen by
// the first input byte, with and without the multi-drop prefix.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "protocol/catalogue.h"
#include "protocol/frame.h"

namespace {

constexpr std::size_t kCapacity = 512;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const qvx::CommandCatalogue& catalogue = qvx::BuildCommandCatalogue();
    const auto row = static_cast<qvx::CommandId>(data[0] % catalogue.size());
    const bool prefixed = (data[0] / catalogue.size()) % 2 == 1;

    qvx::FrameContext context;
    context.command = catalogue.DescribeCommand(row);
    context.command_letters[0] = context.command.request_code[0];
    context.command_letters[1] = context.command.request_code[1];
    const bool discovery = context.command_letters[0] == 'B';
    context.prefixed = prefixed && !discovery;

    qvx::FrameRecognizer recognizer(context.command.response_code, context.prefixed ? "0001" : "", discovery,
                                    kCapacity);
    for (std::size_t i = 1; i < size && !recognizer.complete(); ++i) {
        recognizer.Feed(static_cast<char>(data[i]));
    }
    if (recognizer.text().size() > kCapacity) {
        std::abort();
    }
    std::string response = recognizer.text();
    const qvx::TransactionResult result = qvx::ValidateResponse(context, response);
    if (result == qvx::TransactionResult::Ok && response.size() > recognizer.text().size()) {
        std::abort();  // "Echo" is the only data that is not a part of the reply
    }
    // The validation must also hold against text that never went through the recogniser.
    std::string raw(reinterpret_cast<const char*>(data + 1), size - 1);
    qvx::ValidateResponse(context, raw);
    return 0;
}
