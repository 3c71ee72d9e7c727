#pragma once

#include <functional>
#include <string>
#include <vector>

// The lines of the MIDI debugger: one per reported port call. Before a line is added, a log
// that holds more than ClearAbove lines is emptied, so it never holds more than ClearAbove + 1.
// Used on the user-interface thread only.
class TMidiDebugLog {
public:
    static constexpr size_t ClearAbove = 50;

    void Append(std::string line);
    void Clear(); // the debugger's "Clear" button

    const std::vector<std::string>& Lines() const { return lines_; }

    // Called after every change, so that a window showing the lines can follow them.
    std::function<void()> Changed;

private:
    void Notify();

    std::vector<std::string> lines_;
};
