#include "ProcessMidUnit.h"

#include "TextLines.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

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

} // namespace

void CombineMidiFiles(const std::array<QString, 4>& files, int trackCount, const QString& output) {
    QByteArray joined;
    for (const QString& file : files) {
        if (file.isEmpty())
            continue;
        if (joined.isEmpty()) {
            joined = ReadMidiFile(file);
            joined[FormatOffset] = 1;
            joined[TrackCountOffset] = static_cast<char>(trackCount);
        } else {
            joined += ReadMidiFile(file).mid(HeaderBytes);
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
