#pragma once

#include <cstdint>

// What only the machine's windows can do for a remote command: arranging, minimising and
// restoring them, the controlled mode and the skin. The windowed start-up implements it; a
// machine without windows does nothing of it.
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
};

// A machine without windows: the commands that move, show or paint windows have none to act on.
class TNoWindows : public TMachineView {
public:
    void MinimizeWindows() override {}
    void RestoreWindows() override {}
    void ShowConnected(int32_t, bool) override {}
    void NextSkin() override {}
    bool Layout(int layout, int32_t) override { return layout >= 1 && layout <= 3; }
};
