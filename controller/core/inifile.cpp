#include "inifile.h"

#include "TextLines.h"

#include <QFileInfo>
#include <algorithm>

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
    if (text.Count() > 6)
        read.Language = LanguageFromCode(text.Text(6).trimmed().toStdString());
    settings = read;
    return TSettingsRead::Read;
}

void WriteControllerSettings(const QString& path, const TControllerSettings& settings) {
    QStringList lines{QString::number(settings.SlotCount),    QString::number(settings.Left),
                      QString::number(settings.Top),          settings.ProjectDirectory,
                      QString::number(settings.LayoutNumber), settings.MidiDirectory};
    if (settings.Language)
        lines << QString::fromUtf8(LanguageCode(*settings.Language));
    WriteTextLines(path, lines);
}
