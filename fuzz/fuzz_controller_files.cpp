// The controller's project file and settings file readers on any bytes: each reads the file or
// refuses it with TControlError, and what it reads is within range.
#include "FuzzSupport.h"
#include "TextLines.h"
#include "inifile.h"
#include "saveProject.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const TFuzzFolder folder;
    const QString path = QString::fromStdString(folder.Write("file.pkp", AsText(data, size)));
    try {
        const TProjectFile project = ReadProjectFile(path);
        if (project.MachineCount < 0 || project.MachineCount > 4)
            FuzzFailure("machine count outside 0 to 4");
        for (const int volume : project.Volumes)
            if (volume < 0 || volume > MaxVolumePosition)
                FuzzFailure("volume outside 0 to 127");
    } catch (const TControlError&) {
    }
    try {
        TControllerSettings settings;
        if (ReadControllerSettings(path, settings) != TSettingsRead::Read)
            FuzzFailure("an existing settings file counts as missing");
        if (settings.SlotCount < 0 || settings.SlotCount > 4 || settings.LayoutNumber < 1 ||
            settings.LayoutNumber > 4)
            FuzzFailure("slot count or layout out of range");
    } catch (const TControlError&) {
    }
    return 0;
}
