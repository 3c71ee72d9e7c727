#pragma once

#include "GetPureFilename.h"

#include <QFile>
#include <QString>

// Paths as the file system has them (local 8-bit bytes), and the file-name helpers on them.
inline std::string Local(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

inline QString FromLocal(const std::string& text) {
    return QFile::decodeName(text.c_str());
}

inline QString StripExtension(const QString& path) {
    return FromLocal(StripExtension(Local(path)));
}

inline QString FileNamePart(const QString& path) {
    return FromLocal(FileNamePart(Local(path)));
}
