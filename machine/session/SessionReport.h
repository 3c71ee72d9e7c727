#pragma once

#include "MachineSession.h"

#include <exception>

// Collects what an operation changes and reports it once, when the outermost operation ends:
// an operation made of other operations reports once. An outermost operation with a step name
// (a text number) is one undo step when it changed what the song file keeps.
class TSessionReport {
public:
    explicit TSessionReport(TMachineSession& session, int32_t stepName = 0, int32_t mergeKey = 0)
        : session_(session), exceptions_(std::uncaught_exceptions()) {
        if (session_.reportDepth_++ == 0 && stepName != 0)
            session_.BeginStep(stepName, mergeKey);
    }
    // An operation that fails part way still reports what it changed before it failed.
    ~TSessionReport() noexcept(false) {
        if (--session_.reportDepth_ != 0)
            return;
        if (std::uncaught_exceptions() == exceptions_) {
            session_.EndStep();
            session_.Notify();
            return;
        }
        try {
            session_.EndStep();
            session_.Notify();
        } catch (...) { // the failure on its way out is the one to report
        }
    }
    TSessionReport(const TSessionReport&) = delete;
    TSessionReport& operator=(const TSessionReport&) = delete;

private:
    TMachineSession& session_;
    int exceptions_;
};
