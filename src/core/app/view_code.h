#pragma once
// The codes of the working views the main window hosts, one at a time; the main window remembers
// the code of the last view closed so it can open it again.

namespace qvx {

enum class ViewCode : int {
    LaneConfiguration = 0,
    SideFireTraffic = 1,
    Download = 2,
    FirmwareUpload = 3,
    ForwardFireTraffic = 4,
    IntervalData = 5,
    DataAcquisition = 6,
    Terminal = 7,
    PllUtility = 8,
    MemoryView = 9,
    SensorSettings = 10,
    SensorDateTime = 11,
    ConnectionChooser = 12,
    Export = 13,
    StudySetup = 14,
};

}  // namespace qvx
