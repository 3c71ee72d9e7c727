#include "TextLines.h"

#include "AtomicFile.h"
#include "StringConvert.h"

#include <QFile>

QString CannotOpenMessage(const QString& path) {
    return "Cannot open file " + path;
}

QString CannotCreateMessage(const QString& path) {
    return "Cannot create file " + path;
}

TTextLines TTextLines::Read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TControlError(CannotOpenMessage(path).toStdString());
    TTextLines text;
    text.path_ = path;
    const QString all = QString::fromLocal8Bit(file.readAll());
    text.lines_ = all.split('\n');
    if (text.lines_.last().isEmpty())
        text.lines_.removeLast(); // the end of the last line is no line of its own
    for (QString& line : text.lines_)
        if (line.endsWith('\r'))
            line.chop(1);
    return text;
}

QString TTextLines::AtLine(int index, const QString& problem) const {
    return QString("%1, line %2: %3").arg(path_).arg(index + 1).arg(problem);
}

QString TTextLines::Text(int index) const {
    if (index < 0 || index >= Count())
        throw TControlError(AtLine(index, "the line is missing").toStdString());
    return lines_[index];
}

int TTextLines::Number(int index) const {
    const QString text = Text(index);
    if (const auto value = TryStrToInt(text.toStdString()))
        return *value;
    throw TControlError(AtLine(index, ConvertError(text.toStdString()).what()).toStdString());
}

int TTextLines::NumberWithin(int index, int low, int high, const QString& what) const {
    const int value = Number(index);
    if (value < low || value > high)
        throw TControlError(
            AtLine(index,
                   QString("%1 %2 is outside %3 to %4").arg(what).arg(value).arg(low).arg(high))
                .toStdString());
    return value;
}

void WriteTextLines(const QString& path, const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toLocal8Bit() + "\r\n";
    WriteFileAtomically(path, bytes);
}

void WriteFileAtomically(const QString& path, const QByteArray& bytes) {
    if (!ReplaceFileDurably(QFile::encodeName(path).toStdString(),
                            std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))))
        throw TControlError(CannotCreateMessage(path).toStdString());
}
