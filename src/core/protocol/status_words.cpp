#include "protocol/status_words.h"

#include "protocol/catalogue.h"

namespace qvx {

namespace {

struct StatusWord {
    std::string_view text;
    std::uint8_t bit;
};

// Tested in this order: the first accepted word found anywhere in the data decides.
constexpr StatusWord kStatusWords[] = {
    {"Success", status_bit::kSuccess},  {"Failure", status_bit::kFailure}, {"Invalid", status_bit::kInvalid},
    {"Ready", status_bit::kReady},      {"Empty", status_bit::kEmpty},     {"Null", status_bit::kNull},
    {"No lanes", status_bit::kNoLanes},
};

}  // namespace

std::optional<std::string_view> AcceptedStatusWord(std::uint8_t status_mask, std::string_view data) {
    for (const StatusWord& word : kStatusWords) {
        if ((status_mask & word.bit) != 0 && data.find(word.text) != std::string_view::npos) {
            return word.text;
        }
    }
    return std::nullopt;
}

std::optional<std::string_view> ReplyStatusWord(std::string_view request_code, std::string_view reply) {
    const CommandCatalogue& catalogue = BuildCommandCatalogue();
    const CommandId id = catalogue.FindCommand(request_code);
    if (id < 0) {
        return std::nullopt;
    }
    return AcceptedStatusWord(catalogue.DescribeCommand(id).status_mask, reply);
}

}  // namespace qvx
