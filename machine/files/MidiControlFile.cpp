#include "MidiControlFile.h"

#include "SafeFile.h"
#include "StringConvert.h"
#include "TempoBar.h"
#include "song/SongModel.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

namespace {

constexpr std::string_view Words[MidiControlOperationCount] = {
    "playsong", "playpattern", "stop",   "nextpattern",  "previouspattern",
    "mute",     "tempo",       "volume", "transposition"};

constexpr std::string_view NoteWord = "note";
constexpr std::string_view ControllerWord = "cc";
constexpr std::string_view NoneWord = "none";
constexpr std::string_view Blanks = " \t\r\v\f";

constexpr int32_t HighestValue = 127;
constexpr int32_t TriggerAbove = 63;
constexpr uint8_t NoteOn = 0x90;
constexpr uint8_t ControlChange = 0xB0;

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lowered;
}

std::vector<std::string_view> Parts(std::string_view text) {
    std::vector<std::string_view> parts;
    for (;;) {
        const size_t begin = text.find_first_not_of(Blanks);
        if (begin == std::string_view::npos)
            return parts;
        text.remove_prefix(begin);
        const size_t end = std::min(text.find_first_of(Blanks), text.size());
        parts.push_back(text.substr(0, end));
        text.remove_prefix(end);
    }
}

std::optional<TMidiControlOperation> OperationNamed(std::string_view word) {
    const std::string lowered = Lowered(word);
    for (int i = 0; i < MidiControlOperationCount; ++i)
        if (Words[i] == lowered)
            return static_cast<TMidiControlOperation>(i);
    return std::nullopt;
}

std::optional<int32_t> NumberWithin(std::string_view text, int32_t low, int32_t high) {
    int32_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || number < low || number > high)
        return std::nullopt;
    return number;
}

// A line's text as a problem names it: cut to MaxProblemText bytes, not inside a character.
std::string ProblemText(std::string_view line) {
    if (line.size() <= MaxProblemText)
        return std::string(line);
    size_t end = MaxProblemText;
    while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80)
        --end;
    return std::string(line.substr(0, end));
}

// The assignment after "=": nothing for "none", or the fault that makes it malformed.
struct TParsedMessage {
    std::optional<TMidiAssignment> Assignment;
    std::optional<TMidiControlFault> Fault;
};

TParsedMessage Malformed(TMidiControlFault fault) {
    return {std::nullopt, fault};
}

TParsedMessage ParseMessage(TMidiControlOperation operation, std::string_view text) {
    const std::vector<std::string_view> parts = Parts(text);
    if (parts.size() == 1 && Lowered(parts[0]) == NoneWord)
        return {};
    if (parts.size() != 3)
        return Malformed(TMidiControlFault::NotAnAssignment);
    TMidiAssignment assignment;
    const std::string source = Lowered(parts[0]);
    if (source == NoteWord)
        assignment.Source = TMidiControlSource::Note;
    else if (source == ControllerWord)
        assignment.Source = TMidiControlSource::Controller;
    else
        return Malformed(TMidiControlFault::UnknownMessage);
    const std::optional<int32_t> channel = NumberWithin(parts[1], 1, 16);
    if (!channel)
        return Malformed(TMidiControlFault::BadChannel);
    const std::optional<int32_t> number = NumberWithin(parts[2], 0, HighestValue);
    if (!number)
        return Malformed(TMidiControlFault::BadNumber);
    if (assignment.Source == TMidiControlSource::Note && TakesControllerValue(operation))
        return Malformed(TMidiControlFault::NeedsController);
    assignment.Channel = *channel;
    assignment.Number = *number;
    return {assignment, std::nullopt};
}

// Reads one line into `file`; the fault that makes it malformed, if one does.
std::optional<TMidiControlFault> ParseLine(std::string_view line,
                                           std::array<bool, MidiControlOperationCount>& seen,
                                           TMidiControlFile& file) {
    const std::string_view content = Trimmed(line.substr(0, line.find('#')));
    if (content.empty())
        return std::nullopt;
    const size_t equals = content.find('=');
    if (equals == std::string_view::npos)
        return TMidiControlFault::NotAnAssignment;
    const std::optional<TMidiControlOperation> operation =
        OperationNamed(Trimmed(content.substr(0, equals)));
    if (!operation)
        return TMidiControlFault::UnknownOperation;
    const TParsedMessage message = ParseMessage(*operation, content.substr(equals + 1));
    if (message.Fault)
        return message.Fault;
    const auto index = static_cast<size_t>(*operation);
    if (seen[index])
        return TMidiControlFault::AssignedTwice;
    seen[index] = true;
    file.Map[index] = message.Assignment;
    return std::nullopt;
}

// `value` (0..127) spread over low..high, the ends onto the ends.
int32_t Spread(int32_t value, int32_t low, int32_t high) {
    return low + ((high - low) * value + HighestValue / 2) / HighestValue;
}

int32_t ControllerValue(TMidiControlOperation operation, int32_t value, int32_t transposeCeiling) {
    switch (operation) {
    case TMidiControlOperation::Tempo:
        return TempoBar::StepTimeAt(Spread(value, TempoBar::MinStepTime, TempoBar::MaxStepTime));
    case TMidiControlOperation::Transposition:
        return Spread(value, TransposeFloor, std::max(transposeCeiling, TransposeFloor));
    default:
        return value;
    }
}

} // namespace

std::string_view MidiControlWord(TMidiControlOperation operation) {
    return Words[static_cast<size_t>(operation)];
}

bool TakesControllerValue(TMidiControlOperation operation) {
    return operation == TMidiControlOperation::Tempo ||
           operation == TMidiControlOperation::Volume ||
           operation == TMidiControlOperation::Transposition;
}

TMidiControlFile ParseMidiControl(std::string_view text) {
    TMidiControlFile file;
    std::array<bool, MidiControlOperationCount> seen{};
    int32_t number = 0;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::optional<TMidiControlFault> fault = ParseLine(line, seen, file);
        if (fault && file.Problems.size() < MaxReportedProblems)
            file.Problems.push_back({number, ProblemText(line), *fault});
    }
    return file;
}

std::string MidiControlText(const TMidiControlMap& map) {
    std::string text = "# Plinkora MIDI control: one operation a line.\n"
                       "#   operation = note CHANNEL KEY     a note-on triggers it\n"
                       "#   operation = cc CHANNEL CONTROLLER\n"
                       "#   operation = none\n"
                       "# Channels 1..16, keys and controllers 0..127. Tempo, volume and "
                       "transposition take a\n"
                       "# controller, whose value sets them; a controller value above 63 "
                       "triggers the others.\n";
    for (int i = 0; i < MidiControlOperationCount; ++i) {
        text += std::string(Words[i]) + " = ";
        const std::optional<TMidiAssignment>& assignment = map[static_cast<size_t>(i)];
        if (!assignment) {
            text += std::string(NoneWord) + "\n";
            continue;
        }
        text += std::string(assignment->Source == TMidiControlSource::Note ? NoteWord
                                                                           : ControllerWord) +
                " " + std::to_string(assignment->Channel) + " " +
                std::to_string(assignment->Number) + "\n";
    }
    return text;
}

TMidiControlFile ReadMidiControlFile(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error) && !error)
        return {};
    return ParseMidiControl(ReadWholeFile(path));
}

void WriteMidiControlFile(const std::string& path, const TMidiControlMap& map) {
    WriteFileAtomically(path, MidiControlText(map));
}

std::vector<TMidiControlAction> MidiControlActions(const TMidiControlMap& map, uint8_t status,
                                                   uint8_t data1, uint8_t data2,
                                                   int32_t transposeCeiling) {
    const uint8_t kind = status & 0xF0;
    if ((kind != NoteOn && kind != ControlChange) || data1 > HighestValue || data2 > HighestValue)
        return {};
    const TMidiAssignment heard{kind == NoteOn ? TMidiControlSource::Note
                                               : TMidiControlSource::Controller,
                                (status & 0x0F) + 1, data1};
    std::vector<TMidiControlAction> actions;
    for (int i = 0; i < MidiControlOperationCount; ++i) {
        if (map[static_cast<size_t>(i)] != heard)
            continue;
        const auto operation = static_cast<TMidiControlOperation>(i);
        const bool isNote = heard.Source == TMidiControlSource::Note;
        if (!TakesControllerValue(operation)) {
            if (data2 > (isNote ? 0 : TriggerAbove))
                actions.push_back({operation, 0});
        } else if (!isNote) {
            actions.push_back({operation, ControllerValue(operation, data2, transposeCeiling)});
        }
    }
    return actions;
}
