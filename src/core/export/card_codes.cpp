#include "export/card_codes.h"

#include <cctype>

namespace qvx {

namespace {

// The states and D.C. in alphabetical order of their names (FIPS codes), Puerto Rico, then the
// Canadian regions. The names are listed as the program has always shown them.
constexpr CardCode kStates[] = {
    {"Alabama", "01"},
    {"Alaska", "02"},
    {"Arizona", "04"},
    {"Arkansas", "05"},
    {"California", "06"},
    {"Colorado", "08"},
    {"Connecticut", "09"},
    {"Delaware", "10"},
    {"D.C.", "11"},
    {"Florida", "12"},
    {"Georgia", "13"},
    {"Hawaii", "15"},
    {"Idaho", "16"},
    {"Illinois", "17"},
    {"Indiana", "18"},
    {"Iowa", "19"},
    {"Kansas", "20"},
    {"Kentucky", "21"},
    {"Lousiana", "22"},
    {"Maine", "23"},
    {"Maryland", "24"},
    {"Massachusetts", "25"},
    {"Michigan", "26"},
    {"Minnesota", "27"},
    {"Mississippi", "28"},
    {"Missouri", "29"},
    {"Montana", "30"},
    {"Nebraska", "31"},
    {"Nevada", "32"},
    {"New Hampshire", "33"},
    {"New Jersey", "34"},
    {"New Mexico", "35"},
    {"New York", "36"},
    {"North Carolina", "37"},
    {"North Dakota", "38"},
    {"Ohio", "39"},
    {"Oklahoma", "40"},
    {"Oregon", "41"},
    {"Pennsylvania", "42"},
    {"Rhode Island", "44"},
    {"South Carolina", "45"},
    {"South Dakota", "46"},
    {"Tennessee", "47"},
    {"Texas", "48"},
    {"Utah", "49"},
    {"Vermont", "50"},
    {"Virginia", "51"},
    {"Washington", "53"},
    {"West Virginia", "54"},
    {"Wisconsin", "55"},
    {"Wyoming", "56"},
    {"Puerto Rico", "72"},
    {"Alberta", "81"},
    {"British Colombia", "82"},
    {"Labrador", "93"},
    {"Manitoba", "83"},
    {"New Brunkswick", "84"},
    {"Newfoundland", "85"},
    {"Northwest Territory", "92"},
    {"Nova Scotia", "86"},
    {"Nunavut", "94"},
    {"Ontario", "87"},
    {"Prince Edward Island", "88"},
    {"Quebec", "89"},
    {"Saskatchewan", "90"},
    {"Yukon", "91"},
};

constexpr CardCode kFunctionalClasses[] = {
    {"RURAL - Principle Arterial - Interstate", "01"},
    {"RURAL - Principle Arterial - Other", "02"},
    {"RURAL - Minor Arterial", "06"},
    {"RURAL - Major Collector", "07"},
    {"RURAL - Minor Collector", "08"},
    {"RURAL - Local System", "09"},
    {"URBAN - Principle Arterial - Interstate", "11"},
    {"URBAN - Principle Arterial - Other Freeway or Expressways", "12"},
    {"URBAN - Other", "14"},
    {"URBAN - Minor Arterial", "16"},
    {"URBAN - Collector", "17"},
    {"URBAN - Local System", "19"},
};

constexpr CardCode kDirections[] = {
    {"N", "1"},  {"NE", "2"}, {"E", "3"},  {"SE", "4"},        {"S", "5"},
    {"SW", "6"}, {"W", "7"},  {"NW", "8"}, {"N-S/NE-SW", "9"}, {"E-W/SE-NW", "0"},
};

constexpr CardCode kRestrictions[] = {
    {"No Restrictions", "0"},
    {"Construction or other activity", "1"},
    {"Traffic counting device problem", "2"},
};

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::span<const CardCode> StateCodes() {
    return kStates;
}

std::span<const CardCode> FunctionalClassCodes() {
    return kFunctionalClasses;
}

std::span<const CardCode> DirectionCodes() {
    return kDirections;
}

std::span<const CardCode> RestrictionCodes() {
    return kRestrictions;
}

std::optional<int> FindCardCode(std::span<const CardCode> list, std::string_view text) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (SameText(list[i].name, text) || text == list[i].code) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

}  // namespace qvx
