#pragma once
// The status words a sensor may answer with in place of data ("Success", "Failure", "Invalid",
// "Ready", "Empty", "Null", "No lanes"). The transaction accepts such a reply unchecked when the
// command's catalogue row lists the word; callers that show replies ask here whether a reply was
// a status or data.

#include <cstdint>
#include <optional>
#include <string_view>

namespace qvx {

// The first word, in the order above, that status_mask accepts and data holds anywhere.
std::optional<std::string_view> AcceptedStatusWord(std::uint8_t status_mask, std::string_view data);

// The status word an Ok reply to request_code stands for; nullopt when the reply is data (or the
// code is not in the catalogue).
std::optional<std::string_view> ReplyStatusWord(std::string_view request_code, std::string_view reply);

}  // namespace qvx
