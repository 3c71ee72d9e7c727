// The MIDI combiner on one to four inputs carved out of the data: it refuses what is no
// Standard MIDI File with TControlError, and otherwise writes the first input with format 1 and
// the track count, followed by every later input from its 15th byte on, where only the data of
// later tempo events (FF 51 03 and three bytes) may differ: they take the first file's tempo.
#include "FuzzSupport.h"
#include "ProcessMidUnit.h"
#include "TextLines.h"

#include <QFile>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

// Whether byte `at` is one of the three data bytes of a tempo event (FF 51 03).
bool InTempoData(const std::string& bytes, size_t at) {
    for (size_t data = at >= 2 ? at - 2 : 0; data <= at; ++data)
        if (data >= 3 && bytes.compare(data - 3, 3, "\xFF\x51\x03") == 0)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const TFuzzFolder folder;
    FuzzedDataProvider in(data, size);
    const int inputs = in.ConsumeIntegralInRange(1, 4);
    const int trackCount = in.ConsumeIntegral<int>();
    std::array<QString, 4> files;
    std::vector<std::string> contents;
    for (int slot = 0; slot < inputs; ++slot) {
        // A slot may be left out (an empty name), as a stopped machine's is.
        if (slot > 0 && in.ConsumeBool())
            continue;
        contents.push_back(slot + 1 < inputs ? in.ConsumeRandomLengthString(1 << 16)
                                             : in.ConsumeRemainingBytesAsString());
        files[slot] = QString::fromStdString(
            folder.Write("in" + std::to_string(slot) + ".mid", contents.back()));
    }
    const std::string output = folder.File("out.mid");
    folder.Write("out.mid", "before");
    try {
        CombineMidiFiles(files, trackCount, QString::fromStdString(output));
    } catch (const TControlError&) {
        for (const std::string& file : contents)
            if (file.size() < 14 || file.compare(0, 8, std::string("MThd\0\0\0\x06", 8)) != 0)
                return 0;
        FuzzFailure("Standard MIDI File headers refused");
    }
    std::string expected = contents[0];
    expected[9] = 1;
    expected[11] = static_cast<char>(trackCount);
    for (size_t i = 1; i < contents.size(); ++i)
        expected += contents[i].substr(14);
    QFile joined(QString::fromStdString(output));
    if (!joined.open(QIODevice::ReadOnly))
        FuzzFailure("the joined file cannot be read");
    const std::string written = joined.readAll().toStdString();
    if (written.size() != expected.size() ||
        written.compare(0, contents[0].size(), expected, 0, contents[0].size()) != 0)
        FuzzFailure("the joined file is not the inputs put together");
    for (size_t at = contents[0].size(); at < written.size(); ++at)
        if (written[at] != expected[at] && !InTempoData(written, at))
            FuzzFailure("the join changed more than the tempo of a later track");
    return 0;
}
