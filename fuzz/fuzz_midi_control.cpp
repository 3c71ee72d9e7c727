// The MIDI control file reader on any text: the assignments it takes are within their ranges,
// the skipped lines it names are few, short and in order, and what it took written out reads
// back the same without a problem. A message carved from the data maps onto values within the
// operations' ranges.
#include "FuzzSupport.h"
#include "TempoBar.h"
#include "files/MidiControlFile.h"
#include "song/SongModel.h"

namespace {

void CheckAssignments(const TMidiControlMap& map) {
    for (int i = 0; i < MidiControlOperationCount; ++i) {
        const std::optional<TMidiAssignment>& assignment = map[static_cast<size_t>(i)];
        if (!assignment)
            continue;
        if (assignment->Channel < 1 || assignment->Channel > 16 || assignment->Number < 0 ||
            assignment->Number > 127)
            FuzzFailure("an assignment outside its ranges");
        if (TakesControllerValue(static_cast<TMidiControlOperation>(i)) &&
            assignment->Source != TMidiControlSource::Controller)
            FuzzFailure("a note for an operation that takes a controller");
    }
}

void CheckProblems(const std::vector<TMidiControlProblem>& problems) {
    if (problems.size() > MaxReportedProblems)
        FuzzFailure("more problems than are reported");
    int32_t line = 0;
    for (const TMidiControlProblem& problem : problems) {
        if (problem.Line <= line || problem.Text.size() > MaxProblemText)
            FuzzFailure("a problem out of order or with too long a text");
        line = problem.Line;
    }
}

void CheckActions(const TMidiControlMap& map, const uint8_t* data, size_t size) {
    if (size < 3)
        return;
    for (const TMidiControlAction& action :
         MidiControlActions(map, data[0], data[1], data[2], data[0] % 64 - 32)) {
        const bool inRange = [&] {
            switch (action.Operation) {
            case TMidiControlOperation::Tempo:
                return action.Value >= TempoBar::MinStepTime &&
                       action.Value <= TempoBar::MaxStepTime;
            case TMidiControlOperation::Volume:
                return action.Value >= 0 && action.Value <= 127;
            case TMidiControlOperation::Transposition:
                return action.Value >= TransposeFloor && action.Value <= 31;
            default:
                return action.Value == 0;
            }
        }();
        if (!inRange)
            FuzzFailure("an action's value outside its operation's range");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TMidiControlFile file = ParseMidiControl(AsText(data, size));
    CheckAssignments(file.Map);
    CheckProblems(file.Problems);
    const TMidiControlFile again = ParseMidiControl(MidiControlText(file.Map));
    if (again.Map != file.Map || !again.Problems.empty())
        FuzzFailure("the assignments written out read back otherwise");
    CheckActions(file.Map, data, size);
    return 0;
}
