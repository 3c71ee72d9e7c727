#pragma once

// How the benchmarks that run one of the programs find it: "BENCH [PROGRAM [RUNS]]".

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>

// The program named as the first argument, else `name` beside this program or one folder up.
inline QString FindProgram(const QStringList& arguments, const QString& name) {
    if (arguments.size() > 1)
        return arguments[1];
    const QDir here(QCoreApplication::applicationDirPath());
    for (const QString& candidate : {here.filePath(name), here.filePath("../" + name)})
        if (QFile::exists(candidate))
            return QDir::cleanPath(candidate);
    return {};
}

// The second argument, else `fallback`.
inline int RunsWanted(const QStringList& arguments, int fallback = 5) {
    return arguments.size() > 2 ? arguments[2].toInt() : fallback;
}
