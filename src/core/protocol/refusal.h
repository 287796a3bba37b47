#pragma once
// A sensor that will not do what it was asked still sends a valid frame: a status word
// ("Failure", "Invalid") in place of the data. The transaction returns Ok for it, so every caller
// that writes asks this one check whether the sensor said no.

#include <string_view>

namespace qvx {

// True when reply (the data part of an Ok exchange) carries a refusing status word the command's
// catalogue row accepts.
bool IsRefusal(std::string_view request_code, std::string_view reply);

}  // namespace qvx
