#pragma once

#include <QStringList>
#include <QTextStream>

// The controller's options without windows (--combine, --export-midi, --help, --version).
// `args` are the arguments after the program path; returns the exit status.
int RunControlCommandLine(const QStringList& args, const QString& programDirectory,
                          QTextStream& out, QTextStream& err);

QString ControlVersionText(); // "PKControl v1.2..."
