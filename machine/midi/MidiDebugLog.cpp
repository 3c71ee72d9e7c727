#include "MidiDebugLog.h"

void TMidiDebugLog::Append(std::string line) {
    if (lines_.size() > ClearAbove)
        lines_.clear();
    lines_.push_back(std::move(line));
    Notify();
}

void TMidiDebugLog::Clear() {
    lines_.clear();
    Notify();
}

void TMidiDebugLog::Notify() {
    if (Changed)
        Changed();
}
