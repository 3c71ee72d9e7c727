// A band of four real machines on a JACK server of the test's own: with "JACK-Transport" on, the
// controller's play button starts all four in one frame, its stop button stops them.

#include "JackTestRig.h"
#include "RealController.h"

#include <QProcess>
#include <QRegularExpression>
#include <algorithm>
#include <gtest/gtest.h>
#include <optional>

namespace {

using jacktest::Event;
using jacktest::Recorder;

bool IsNoteOn(const Event& e) {
    return (e.Bytes[0] & 0xF0) == 0x90 && e.Length == 3 && e.Bytes[2] != 0;
}

// The JACK device's number as the machines list it (after the ALSA devices).
int JackDeviceNumber() {
    QProcess list;
    list.start(PLINKORA_PROGRAM, {"--list-devices"});
    list.waitForFinished(10000);
    const QStringList names = QString::fromUtf8(list.readAllStandardOutput()).split('\n');
    const qsizetype at = names.indexOf("JACK");
    return at < 0 ? -2 : static_cast<int>(at) - 1; // the first entry is device -1
}

// The shipped default song of slot n at 30 ms per step, playing on the JACK device.
void WriteJackSong(RealController& c, int slot, int device) {
    QFile shipped(QString(PLINKORA_SOURCE_DIR "/songs/default%1.pks").arg(slot));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    QString song = QString::fromUtf8(shipped.readAll());
    song.replace(QRegularExpression("\n-?\\d+ Device"), QString("\n%1 Device").arg(device));
    song.replace(QRegularExpression("^(Plinkora Song\r?\n)\\d+ ms"), "\\1"
                                                                     "30 ms");
    c.work.Write("default" + std::to_string(slot) + ".pks", song.toStdString());
}

bool PortsExist(const Recorder& recorder) {
    for (int slot = 0; slot < 4; ++slot)
        if (!jack_port_by_name(recorder.Client(),
                               ("PK" + std::to_string(slot) + ":midi_out").c_str()))
            return false;
    return true;
}

TEST(ControllerJack, ThePlayButtonStartsFourMachinesInOneFrameAndStopStopsThem) {
    if (!jacktest::JackdInstalled())
        GTEST_SKIP() << "jackd is not installed";
    jacktest::Server server;
    ASSERT_TRUE(server.Running());
    const int device = JackDeviceNumber();
    ASSERT_GE(device, 0) << "the machines list the JACK device";
    RealController c;
    for (int slot = 1; slot <= 4; ++slot)
        WriteJackSong(c, slot, device);
    c.core->ChooseFollowTransport(true);
    c.core->ChooseSendClock(true);
    c.core->PrepareServers();
    c.core->StartMachine(4);
    for (int slot = 1; slot <= 4; ++slot)
        ASSERT_TRUE(c.WaitReply(slot, ReadyLine(slot)));

    Recorder recorder("recorder", 4);
    ASSERT_TRUE(recorder.Ready());
    ASSERT_TRUE(QTest::qWaitFor([&] { return PortsExist(recorder); }, 10000))
        << "each machine opened its own port";
    for (int slot = 0; slot < 4; ++slot)
        ASSERT_TRUE(recorder.Connect("PK" + std::to_string(slot) + ":midi_out", slot));
    QTest::qWait(300);

    c.core->PlayPattern();
    const auto firstNoteOn = [&](int input) -> std::optional<uint64_t> {
        const std::vector<Event> events = recorder.Events(input);
        const auto on = std::find_if(events.begin(), events.end(), IsNoteOn);
        return on == events.end() ? std::nullopt : std::optional(on->Frame);
    };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (int input = 0; input < 4; ++input)
                if (!firstNoteOn(input))
                    return false;
            return true;
        },
        10000));
    ASSERT_EQ(recorder.RollStarts().size(), 1u) << "one start of the transport";
    const uint64_t rolling = recorder.RollStarts().front();
    std::vector<uint64_t> firsts;
    for (int input = 0; input < 4; ++input)
        firsts.push_back(*firstNoteOn(input));
    EXPECT_EQ(std::count(firsts.begin(), firsts.end(), firsts.front()), 4) << "one frame";
    EXPECT_GE(firsts.front(), rolling);
    EXPECT_LE(firsts.front(), rolling + 2 * jacktest::Server::Period);

    c.core->StopAll();
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.RollStops().size() == 1; }, 5000))
        << "the stop button stops the transport";
    QTest::qWait(200);
    for (int input = 0; input < 4; ++input) {
        const std::vector<Event> events = recorder.Events(input);
        const auto stop = std::find_if(events.begin(), events.end(),
                                       [](const Event& e) { return e.Bytes[0] == 0xFC; });
        ASSERT_NE(stop, events.end()) << "machine " << input + 1 << " sent a Stop";
        EXPECT_TRUE(std::none_of(stop, events.end(), IsNoteOn)) << "machine " << input + 1;
    }
}

} // namespace
