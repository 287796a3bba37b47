// qvx config save | load | show: the settings window's commands without the window.

#include "base/progress_reporter.h"
#include "cli_commands.h"
#include "cli_output.h"
#include "config/settings_editor.h"
#include "config/settings_listing.h"
#include "connect/operating_mode.h"
#include "context/app_context.h"
#include "protocol/sensor_operations.h"

namespace qvx::cli {

namespace {

void PrintSettings(const std::vector<SettingsLine>& lines, OutputFormat format, std::ostream& out) {
    if (format == OutputFormat::Json) {
        out << "[\n";
        for (std::size_t k = 0; k < lines.size(); ++k) {
            out << "  {\"page\": " << JsonString(lines[k].page)
                << ", \"label\": " << JsonString(lines[k].label)
                << ", \"value\": " << JsonString(lines[k].value) << "}" << (k + 1 < lines.size() ? "," : "")
                << "\n";
        }
        out << "]\n";
        return;
    }
    std::string page;
    for (const SettingsLine& line : lines) {
        if (format == OutputFormat::Tsv) {
            out << TsvField(line.page) << '\t' << TsvField(line.label) << '\t' << TsvField(line.value)
                << '\n';
            continue;
        }
        if (line.page != page) {
            out << (page.empty() ? "" : "\n") << "[" << line.page << "]\n";
            page = line.page;
        }
        out << line.label << ": " << line.value << '\n';
    }
}

bool SideFireMounting(AppContext& app) {
    SilentProgress progress;
    return DetectOperatingMode(app.protocol, progress);
}

int ConfigSave(AppContext& app, const CliOptions& options, CommandStreams io) {
    SettingsEditor editor(app, SideFireMounting(app));
    if (!editor.ReadFromSensor(true)) {
        io.err << "qvx: the sensor's configuration records could not be read\n";
        return kExitSensorFailed;
    }
    // The records as the sensor sent them, unaltered by any page.
    const std::string path = WithSettingsFileExtension(options.config_path);
    const SettingsFileOutcome outcome = SaveSettingsFile(path, editor.working_copy(), editor.side_fire());
    if (!outcome.ok()) {
        io.err << "qvx: " << path << ": " << outcome.problem << "\n";
        return kExitOther;
    }
    io.out << "Saved " << (editor.side_fire() ? "side-fire" : "forward-fire") << " settings to " << path
           << "\n";
    return kExitSuccess;
}

int ConfigLoad(AppContext& app, const CliOptions& options, CommandStreams io) {
    SettingsEditor editor(app, SideFireMounting(app));
    const std::string path = WithSettingsFileExtension(options.config_path);
    const SettingsFileOutcome opened = editor.OpenFile(path);
    if (!opened.ok()) {
        io.err << "qvx: " << path << ": " << opened.problem << " (" << kNoFileText << ")\n";
        return kExitOther;
    }
    if (editor.ValidateForFile() > 0) {
        for (const MarkedField& field : editor.MarkedFields()) {
            io.err << "qvx: " << field.page << ": " << field.label << ": " << field.reason << "\n";
        }
        return kExitOther;
    }
    if (options.dry_run) {
        io.out << path << ": valid " << (editor.side_fire() ? "side-fire" : "forward-fire")
               << " settings; nothing written (--dry-run)\n";
        return kExitSuccess;
    }
    SensorOperations operations(app.protocol, app.objects.SyncData());
    switch (editor.SaveToSensor(operations)) {
        case SaveToSensorResult::Saved:
            io.out << "Wrote " << path << " to the sensor\n";
            return kExitSuccess;
        case SaveToSensorResult::Cancelled:
            io.err
                << "qvx: nothing written: the file switches the sensor off the simple protocol (declined)\n";
            return kExitOther;
        case SaveToSensorResult::InputErrors:
            return kExitOther;
        case SaveToSensorResult::BaudRateUnknown:
        case SaveToSensorResult::NotSaved:
            break;
    }
    io.err << "qvx: the sensor configuration settings were NOT saved\n";
    return kExitSensorFailed;
}

int ConfigShow(AppContext& app, const CliOptions& options, CommandStreams io) {
    SettingsEditor editor(app, SideFireMounting(app));
    if (!editor.ReadFromSensor(true)) {
        io.err << "qvx: the sensor's configuration records could not be read\n";
        return kExitSensorFailed;
    }
    PrintSettings(DescribeSettings(editor), options.format.value_or(OutputFormat::Text), io.out);
    return kExitSuccess;
}

}  // namespace

int RunConfig(AppContext& app, const CliOptions& options, CommandStreams io) {
    switch (options.command) {
        case Command::ConfigSave:
            return ConfigSave(app, options, io);
        case Command::ConfigLoad:
            return ConfigLoad(app, options, io);
        default:
            return ConfigShow(app, options, io);
    }
}

}  // namespace qvx::cli
