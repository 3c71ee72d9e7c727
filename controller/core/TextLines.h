#pragma once

#include <QString>
#include <QStringList>
#include <stdexcept>

// A controller file could not be read, written or understood; what() is the message for the
// user, naming the file (and the line, counted from 1, where one is at fault).
class TControlError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

QString CannotOpenMessage(const QString& path);   // "Cannot open file <path>"
QString CannotCreateMessage(const QString& path); // "Cannot create file <path>"

// The lines of a small text file with CR LF (or LF) line ends, read whole.
class TTextLines {
public:
    // Throws TControlError ("Cannot open file <path>") when the file cannot be read.
    static TTextLines Read(const QString& path);

    int Count() const { return static_cast<int>(lines_.size()); }
    // Line `index` (from 0); throws naming the file and line when the file ends before it.
    QString Text(int index) const;
    // Line `index` as a decimal integer; throws "<file>, line <n>: '<text>' is not a valid
    // integer value" for anything else.
    int Number(int index) const;
    // As Number, and within low..high; throws naming the file, the line and the range.
    int NumberWithin(int index, int low, int high, const QString& what) const;
    // A message about line `index` of this file.
    QString AtLine(int index, const QString& problem) const;

private:
    QString path_;
    QStringList lines_;
};

// Writes the lines, each ending in CR LF, to a new file beside `path` and renames it over
// `path`. Throws TControlError ("Cannot create file <path>") and leaves the old file whole.
void WriteTextLines(const QString& path, const QStringList& lines);
// The same for bytes.
void WriteFileAtomically(const QString& path, const QByteArray& bytes);
