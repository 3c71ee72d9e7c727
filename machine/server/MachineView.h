#pragma once

#include <cstdint>
#include <string>

// What only the machine's windows can do for a remote command: arranging, minimising and
// restoring them, the controlled mode and the skin, and the folders of their file dialogs. The
// start-up implements it; the command server knows no window but its own.
class TMachineView {
public:
    virtual ~TMachineView() = default;

    virtual void MinimizeWindows() = 0;
    virtual void RestoreWindows() = 0;
    // Linked as machine `number`: the windows show it; the first time they also enter the
    // controlled mode (no menu, no play panels) and take the machine's skin.
    virtual void ShowConnected(int32_t number, bool first) = 0;
    virtual void NextSkin() = 0;
    // The window places of layout 1, 2 or 3 for machine `number`; false, changing nothing, for
    // any other layout.
    virtual bool Layout(int layout, int32_t number) = 0;
    virtual void SetSongFolder(const std::string& folder) = 0;
    virtual void SetMidiFolder(const std::string& folder) = 0;
};
