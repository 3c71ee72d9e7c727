#pragma once

#include "Language.h"

#include <QStringList>
#include <QTextStream>

// The controller's options without windows (--combine, --export-midi, --help, --version).
// `args` are the arguments after the program path (--language taken out: the machines an
// export starts speak `language`); returns the exit status.
int RunControlCommandLine(const QStringList& args, const QString& programDirectory,
                          QTextStream& out, QTextStream& err, TLanguage language = DefaultLanguage);

QString ControlVersionText(); // "PKControl v1.234" for version 1.2.3.4
