#include "config/settings_file.h"

#include <fstream>
#include <iterator>

#include "platform/file_read.h"
#include "platform/text_file.h"

namespace qvx {

namespace {

// Larger than any valid file by far; a bigger file is not read at all.
constexpr std::size_t kMaxFileSize = 8192;

struct LineReader {
    std::string_view bytes;
    std::size_t pos = 0;

    bool AtEnd() const { return pos >= bytes.size(); }

    // The header line: up to a line break or the header's length + 1 characters, whichever comes
    // first. A CR LF right at the limit still counts as the line break.
    std::string_view HeaderLine() {
        const std::size_t limit = kSettingsFileHeader.size() + 1;
        const std::size_t start = pos;
        while (pos < bytes.size() && pos - start < limit && bytes[pos] != '\n') {
            ++pos;
        }
        std::string_view line = bytes.substr(start, pos - start);
        if (pos < bytes.size() && bytes[pos] == '\n') {
            ++pos;
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
        }
        return line;
    }

    // A record line ended by CR LF or LF; ended says whether a line break ended it.
    std::string_view RecordLine(bool& ended) {
        const std::size_t start = pos;
        while (pos < bytes.size() && bytes[pos] != '\n') {
            ++pos;
        }
        std::string_view line = bytes.substr(start, pos - start);
        ended = pos < bytes.size();
        if (ended) {
            ++pos;
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
        }
        return line;
    }
};

// A carriage return ends a frame, so no record the sensor sent can hold one, and none may be
// written back. Every other byte is record text (the flags character is a bit field).
bool FrameSafe(std::string_view text) {
    return text.find('\r') == std::string_view::npos;
}

SettingsFileParse Refuse(std::string problem) {
    SettingsFileParse parse;
    parse.problem = std::move(problem);
    return parse;
}

}  // namespace

std::string WithSettingsFileExtension(const std::string& path) {
    return path.find(kSettingsFileExtension) == std::string::npos ? path + kSettingsFileExtension : path;
}

std::string ComposeSettingsFile(const SensorConfiguration& config, bool side_fire) {
    const RecordSlot algorithm = side_fire ? RecordSlot::SideFire : RecordSlot::ForwardFire;
    const std::size_t algorithm_length = side_fire ? kSideFireLength : kForwardFireLength;
    for (RecordSlot slot : {RecordSlot::Config, RecordSlot::Extended, RecordSlot::Collection, algorithm}) {
        if (!config.HasRecord(slot)) {
            return std::string();
        }
    }
    std::string text(kSettingsFileHeader);
    text += '\0';
    text += config.config().substr(0, kConfigInfoLength) + "\r\n";
    text += config.extended().substr(0, kExtendedConfigInfoLength) + "\r\n";
    text += config.collection().substr(0, kCollectionConfigInfoLength) + "\r\n";
    text += config.record(algorithm).substr(0, algorithm_length);
    return text;
}

SettingsFileParse ParseSettingsFile(std::string_view bytes, bool side_fire) {
    LineReader reader{bytes};
    std::string_view header = reader.HeaderLine();
    header = header.substr(0, header.find('\0'));
    if (header != kSettingsFileHeader) {
        return Refuse("the file does not begin with the settings file header");
    }
    struct Expected {
        const char* name;
        std::size_t length;
    };
    const Expected lines[] = {{"ConfigInfo", kConfigInfoLength},
                              {"ExtendedConfigInfo", kExtendedConfigInfoLength},
                              {"CollectionConfigInfo", kCollectionConfigInfoLength},
                              {side_fire ? "side-fire algorithm record" : "forward-fire algorithm record",
                               side_fire ? kSideFireLength : kForwardFireLength}};
    std::string texts[4];
    for (std::size_t k = 0; k < 4; ++k) {
        if (reader.AtEnd()) {
            return Refuse(std::string("line ") + std::to_string(k + 2) + " (" + lines[k].name +
                          ") is missing");
        }
        bool ended = false;
        const std::string_view line = reader.RecordLine(ended);
        if (line.size() != lines[k].length) {
            return Refuse("line " + std::to_string(k + 2) + " (" + lines[k].name + ") has " +
                          std::to_string(line.size()) + " characters instead of " +
                          std::to_string(lines[k].length));
        }
        if (!FrameSafe(line)) {
            return Refuse("line " + std::to_string(k + 2) + " (" + lines[k].name +
                          ") holds a carriage return");
        }
        if (k < 3 && !ended) {
            return Refuse(std::string("line ") + std::to_string(k + 3) + " is missing");
        }
        texts[k] = std::string(line);
    }
    if (!reader.AtEnd()) {
        return Refuse("the file goes on after the algorithm record");
    }
    SettingsFileParse parse;
    parse.ok = true;
    parse.records = {texts[0], texts[1], texts[2], texts[3]};
    return parse;
}

void ApplySettingsFile(const SettingsFileRecords& records, bool side_fire, SensorConfiguration& config) {
    config.SetRecord(RecordSlot::Config, records.config);
    config.SetRecord(RecordSlot::Extended, records.extended);
    config.SetRecord(RecordSlot::Collection, records.collection);
    config.SetRecord(side_fire ? RecordSlot::SideFire : RecordSlot::ForwardFire, records.algorithm);
    config.ClearRecord(side_fire ? RecordSlot::ForwardFire : RecordSlot::SideFire);
    config.set_units(records.extended.front() == 'E' ? 'E' : 'M');
}

SettingsFileOutcome SaveSettingsFile(const std::string& path, const SensorConfiguration& config,
                                     bool side_fire) {
    const std::string text = ComposeSettingsFile(config, side_fire);
    if (text.empty()) {
        return {SettingsFileStatus::Incomplete, "the configuration records are incomplete"};
    }
    if (!WriteTextFileAtomically(path, text)) {
        return {SettingsFileStatus::NotWritten, "the file could not be written"};
    }
    return {};
}

SettingsFileOutcome LoadSettingsFile(const std::string& path, bool side_fire, SensorConfiguration& config) {
    const FileRead read = ReadRegularFile(path, kMaxFileSize);
    switch (read.status) {
        case FileReadStatus::Ok:
            break;
        case FileReadStatus::Missing:
            return {SettingsFileStatus::NotOpened, "the file could not be opened"};
        case FileReadStatus::Unreadable:
            return {SettingsFileStatus::NotOpened, "the file could not be read"};
        case FileReadStatus::NotRegular:
            return {SettingsFileStatus::NotOpened, "it is not a regular file (a folder, pipe or device)"};
        case FileReadStatus::TooLarge:
            return {SettingsFileStatus::Invalid, "the file is far too long for a settings file"};
    }
    const SettingsFileParse parse = ParseSettingsFile(read.content, side_fire);
    if (!parse.ok) {
        return {SettingsFileStatus::Invalid, parse.problem};
    }
    ApplySettingsFile(parse.records, side_fire, config);
    return {};
}

}  // namespace qvx
