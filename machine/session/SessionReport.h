#pragma once

#include "MachineSession.h"

// Collects what an operation changes and reports it once, when the outermost operation ends:
// an operation made of other operations reports once.
class TSessionReport {
public:
    explicit TSessionReport(TMachineSession& session) : session_(session) {
        ++session_.reportDepth_;
    }
    ~TSessionReport() {
        if (--session_.reportDepth_ == 0)
            session_.Notify();
    }
    TSessionReport(const TSessionReport&) = delete;
    TSessionReport& operator=(const TSessionReport&) = delete;

private:
    TMachineSession& session_;
};
