#include "inifile.h"

#include "TextLines.h"

#include <QFileInfo>
#include <algorithm>

namespace {

constexpr int FirstLaterLine = 6; // the language, then the synchronisation
const char* const TransportOnText = "JACK Transport On";
const char* const TransportOffText = "JACK Transport Off";
const char* const ClockOnText = "MIDI Clock On";
const char* const ClockOffText = "MIDI Clock Off";
const char* const LinkOnText = "Ableton Link On";
const char* const LinkOffText = "Ableton Link Off";
const char* const FollowClockOnText = "Follow MIDI Clock On";
const char* const FollowClockOffText = "Follow MIDI Clock Off";

// Line `index` when the file has it, trimmed; empty otherwise.
QString LaterLine(const TTextLines& text, int index) {
    return index < text.Count() ? text.Text(index).trimmed() : QString();
}

} // namespace

TControllerSettings DefaultControllerSettings(const QString& documentHome) {
    TControllerSettings settings;
    settings.ProjectDirectory = documentHome + "PKProjects";
    settings.MidiDirectory = documentHome + "PKProjects";
    return settings;
}

QPoint FirstStartPlace(const QRect& screenArea, const QSize& frameSize) {
    const int besideMachines = screenArea.left() + MachinesWidth;
    if (besideMachines + frameSize.width() <= screenArea.right() + 1)
        return {besideMachines, screenArea.top()};
    return {std::max(screenArea.left(), screenArea.right() + 1 - frameSize.width()),
            std::max(screenArea.top(), screenArea.bottom() + 1 - frameSize.height())};
}

QString ControllerSettingsFile(const QString& programPath) {
    return programPath + ".ini";
}

TSettingsRead ReadControllerSettings(const QString& path, TControllerSettings& settings) {
    if (!QFileInfo::exists(path))
        return TSettingsRead::Missing;
    const TTextLines text = TTextLines::Read(path);
    TControllerSettings read;
    const int slotCount = text.Number(0);
    read.SlotCount = slotCount >= 0 && slotCount <= 4 ? slotCount : DefaultSlotCount;
    read.Left = text.Number(1);
    read.Top = text.Number(2);
    read.ProjectDirectory = text.Text(3);
    const int layout = text.Number(4);
    read.LayoutNumber = layout >= 1 && layout <= 4 ? layout : DefaultLayoutNumber;
    read.MidiDirectory = text.Text(5);
    read.Language = LanguageFromCode(LaterLine(text, FirstLaterLine).toStdString());
    read.FollowTransport = LaterLine(text, FirstLaterLine + 1) == TransportOnText;
    read.SendClock = LaterLine(text, FirstLaterLine + 2) == ClockOnText;
    read.Link = LaterLine(text, FirstLaterLine + 3) == LinkOnText;
    read.FollowClock = LaterLine(text, FirstLaterLine + 4) == FollowClockOnText;
    settings = read;
    return TSettingsRead::Read;
}

void WriteControllerSettings(const QString& path, const TControllerSettings& settings) {
    QStringList lines{QString::number(settings.SlotCount),    QString::number(settings.Left),
                      QString::number(settings.Top),          settings.ProjectDirectory,
                      QString::number(settings.LayoutNumber), settings.MidiDirectory};
    const QStringList later{
        settings.Language ? QString::fromUtf8(LanguageCode(*settings.Language)) : QString(),
        settings.FollowTransport ? TransportOnText : TransportOffText,
        settings.SendClock ? ClockOnText : ClockOffText, settings.Link ? LinkOnText : LinkOffText,
        settings.FollowClock ? FollowClockOnText : FollowClockOffText};
    const QStringList defaults{QString(), TransportOffText, ClockOffText, LinkOffText,
                               FollowClockOffText};
    qsizetype kept = later.size();
    while (kept > 0 && later[kept - 1] == defaults[kept - 1])
        --kept;
    WriteTextLines(path, lines + later.first(kept));
}
