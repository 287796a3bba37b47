#include "protocol/refusal.h"

#include "protocol/catalogue.h"

namespace qvx {

bool IsRefusal(std::string_view request_code, std::string_view reply) {
    const CommandCatalogue& catalogue = BuildCommandCatalogue();
    const CommandId id = catalogue.FindCommand(request_code);
    if (id < 0) {
        return false;
    }
    const std::uint8_t mask = catalogue.DescribeCommand(id).status_mask;
    const bool failure =
        (mask & status_bit::kFailure) != 0 && reply.find("Failure") != std::string_view::npos;
    const bool invalid =
        (mask & status_bit::kInvalid) != 0 && reply.find("Invalid") != std::string_view::npos;
    return failure || invalid;
}

}  // namespace qvx
