// The machine's settings file on any bytes: the reader takes it or falls back to the defaults,
// and what it takes is within the fields' ranges.
#include "FuzzSupport.h"
#include "shell/iniform.h"
#include "song/SongModel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const TFuzzFolder folder;
    const std::string path = folder.Write("Plinkora.ini", AsText(data, size));
    TSettings settings = DefaultSettings("/opt/pk", 768);
    const TSettingsReadResult result = ReadSettings(settings, path, "/opt/pk");
    if (result.SettingsRead == result.MustWrite)
        FuzzFailure("a file is either taken or must be written");
    if (!IsValidRange(settings.Range) || settings.SkinNumber < -1 ||
        settings.SkinNumber >= SkinCount - 1)
        FuzzFailure("a value outside its field's range was taken");
    const TLayoutState& layout = settings.Layout;
    if ((layout.PatternPlace != dpAbove && layout.PatternPlace != dpBelow) ||
        (layout.TrackSide != dpLeft && layout.TrackSide != dpRight))
        FuzzFailure("a docking place outside its two");
    if (!result.SettingsRead &&
        (settings.SongFolder != "/opt/pk/PKSongs" || settings.MidiFolder != settings.SongFolder))
        FuzzFailure("a damaged file leaves the folders at the default");
    if (SettingsLines(settings).size() != SettingsLineCount)
        FuzzFailure("the file is not written whole");
    return 0;
}
