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
    QByteArray joined = ReadMidiFile(files[0]);
    joined[FormatOffset] = 1;
    joined[TrackCountOffset] = static_cast<char>(trackCount);
    for (size_t slot = 1; slot < files.size(); ++slot)
        if (!files[slot].isEmpty())
            joined += ReadMidiFile(files[slot]).mid(HeaderBytes);
    WriteFileAtomically(output, joined);
}

void TMidiExportWait::Start(const QString& base, const QString& output, int trackCount,
                            int maxWaits) {
    trackCount_ = std::clamp(trackCount, 0, 4);
    for (int slot = 1; slot <= 4; ++slot)
        slotFiles_[slot - 1] = slot <= trackCount_ ? base + QString::number(slot) + ".mid" : "";
    output_ = output;
    waitCounter_ = 0;
    maxWaits_ = maxWaits;
    error_.clear();
    state_ = TState::Waiting;
}

QStringList TMidiExportWait::MissingFiles() const {
    QStringList missing;
    for (int slot = 0; slot < trackCount_; ++slot)
        if (!QFileInfo::exists(slotFiles_[slot]))
            missing << slotFiles_[slot];
    return missing;
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
