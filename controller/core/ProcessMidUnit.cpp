#include "ProcessMidUnit.h"

#include "TextLines.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdint>
#include <optional>

namespace {

constexpr qsizetype HeaderBytes = 14;
constexpr qsizetype FormatOffset = 9;
constexpr qsizetype TrackCountOffset = 11;

QByteArray ReadMidiFile(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        throw TControlError(CannotOpenMessage(name).toStdString());
    QByteArray bytes = file.readAll();
    static const QByteArray header("MThd\0\0\0\x06", 8);
    if (bytes.size() < HeaderBytes || !bytes.startsWith(header))
        throw TControlError((name + " is not a Standard MIDI File").toStdString());
    return bytes;
}

// The SMF's tempo when a file sets none: 120 beats per minute.
constexpr uint32_t DefaultUsPerQuarter = 500000;

uint8_t ByteAt(const QByteArray& bytes, qsizetype at) {
    return static_cast<uint8_t>(bytes[at]);
}

// A variable-length quantity at `at`, which moves past it; nullopt past `end`.
std::optional<uint32_t> ReadVariable(const QByteArray& bytes, qsizetype& at, qsizetype end) {
    uint32_t value = 0;
    for (int count = 0; count < 4 && at < end; ++count) {
        const uint8_t byte = ByteAt(bytes, at++);
        value = (value << 7) | (byte & 0x7F);
        if ((byte & 0x80) == 0)
            return value;
    }
    return std::nullopt;
}

// The data bytes of a channel message with this status.
int ChannelDataBytes(uint8_t status) {
    const uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// Calls `tempo` with the offset of the three data bytes of every tempo event in the track body
// [at, end). A malformed event ends the walk.
template <typename TTempo>
void ForEachTempoInTrack(const QByteArray& bytes, qsizetype at, qsizetype end, TTempo tempo) {
    uint8_t running = 0;
    while (at < end) {
        if (!ReadVariable(bytes, at, end) || at >= end)
            return;
        uint8_t status = ByteAt(bytes, at);
        if (status & 0x80)
            ++at;
        else if (running != 0)
            status = running;
        else
            return;
        if (status == 0xFF) {
            if (at >= end)
                return;
            const uint8_t type = ByteAt(bytes, at++);
            const auto length = ReadVariable(bytes, at, end);
            if (!length || *length > static_cast<uint32_t>(end - at))
                return;
            if (type == 0x51 && *length == 3)
                tempo(at);
            at += *length;
            running = 0;
        } else if (status == 0xF0 || status == 0xF7) {
            const auto length = ReadVariable(bytes, at, end);
            if (!length || *length > static_cast<uint32_t>(end - at))
                return;
            at += *length;
            running = 0;
        } else {
            running = status;
            at += ChannelDataBytes(status);
        }
    }
}

// The same for every track chunk from `at` (a chunk boundary) to the end of the file.
template <typename TTempo> void ForEachTempo(const QByteArray& bytes, qsizetype at, TTempo tempo) {
    while (at + 8 <= bytes.size()) {
        const uint32_t length = (uint32_t(ByteAt(bytes, at + 4)) << 24) |
                                (uint32_t(ByteAt(bytes, at + 5)) << 16) |
                                (uint32_t(ByteAt(bytes, at + 6)) << 8) | ByteAt(bytes, at + 7);
        const qsizetype body = at + 8;
        const qsizetype end = body + std::min<qsizetype>(length, bytes.size() - body);
        if (bytes.mid(at, 4) == "MTrk")
            ForEachTempoInTrack(bytes, body, end, tempo);
        at = end;
    }
}

uint32_t FirstTempo(const QByteArray& file) {
    std::optional<uint32_t> first;
    ForEachTempo(file, HeaderBytes, [&](qsizetype at) {
        if (!first)
            first = (uint32_t(ByteAt(file, at)) << 16) | (uint32_t(ByteAt(file, at + 1)) << 8) |
                    ByteAt(file, at + 2);
    });
    return first.value_or(DefaultUsPerQuarter);
}

// A format 1 file has one tempo map for all its tracks. Every machine counts one tick per
// millisecond in its own file (division and tempo both follow its step time), so a later track
// keeps its timing under the first file's division once its tempo events carry the first
// file's tempo too.
void TakeTempo(QByteArray& track, qsizetype from, uint32_t usPerQuarter) {
    ForEachTempo(track, from, [&](qsizetype at) {
        track[at] = static_cast<char>((usPerQuarter >> 16) & 0xFF);
        track[at + 1] = static_cast<char>((usPerQuarter >> 8) & 0xFF);
        track[at + 2] = static_cast<char>(usPerQuarter & 0xFF);
    });
}

} // namespace

void CombineMidiFiles(const std::array<QString, 4>& files, int trackCount, const QString& output) {
    QByteArray joined;
    uint32_t usPerQuarter = DefaultUsPerQuarter;
    for (const QString& file : files) {
        if (file.isEmpty())
            continue;
        if (joined.isEmpty()) {
            joined = ReadMidiFile(file);
            joined[FormatOffset] = 1;
            joined[TrackCountOffset] = static_cast<char>(trackCount);
            usPerQuarter = FirstTempo(joined);
        } else {
            QByteArray tracks = ReadMidiFile(file);
            TakeTempo(tracks, HeaderBytes, usPerQuarter);
            joined += tracks.mid(HeaderBytes);
        }
    }
    if (joined.isEmpty())
        throw TControlError(CannotOpenMessage(files[0]).toStdString());
    WriteFileAtomically(output, joined);
}

void TMidiExportWait::Start(const QString& base, const QString& output,
                            const std::array<bool, 4>& exporting, int maxWaits) {
    trackCount_ = 0;
    for (int slot = 1; slot <= 4; ++slot) {
        slotFiles_[slot - 1] = exporting[slot - 1] ? base + QString::number(slot) + ".mid" : "";
        trackCount_ += exporting[slot - 1] ? 1 : 0;
    }
    output_ = output;
    waitCounter_ = 0;
    maxWaits_ = maxWaits;
    error_.clear();
    state_ = TState::Waiting;
}

QStringList TMidiExportWait::MissingFiles() const {
    QStringList missing;
    for (const QString& file : slotFiles_)
        if (!file.isEmpty() && !QFileInfo::exists(file))
            missing << file;
    return missing;
}

bool TMidiExportWait::Abandon(int slot) {
    if (state_ != TState::Waiting || slot < 1 || slot > 4 || slotFiles_[slot - 1].isEmpty())
        return false;
    for (const QString& file : slotFiles_)
        if (!file.isEmpty())
            QFile::remove(file);
    error_ = QString("machine %1 ended before the MIDI export was complete").arg(slot);
    state_ = TState::Failed;
    return true;
}

TMidiExportWait::TState TMidiExportWait::Poll() {
    if (state_ != TState::Waiting)
        return state_;
    if (!MissingFiles().isEmpty()) {
        if (++waitCounter_ >= maxWaits_)
            state_ = TState::TimedOut;
        return state_;
    }
    try {
        CombineMidiFiles(slotFiles_, trackCount_, output_);
    } catch (const TControlError& error) {
        error_ = QString::fromStdString(error.what());
        return state_ = TState::Failed;
    }
    for (const QString& file : slotFiles_)
        if (!file.isEmpty())
            QFile::remove(file);
    return state_ = TState::Joined;
}
