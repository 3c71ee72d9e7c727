#pragma once

#include "Language.h"

#include <iosfwd>
#include <string>
#include <vector>

// The machine program's command-line actions: the options that start with "--" and run without
// windows. Returns the exit status.
// Its messages are in `language`: English unless "--language" chose otherwise.
// The machine's JACK client takes the name `machineName` (the program file's base name).
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   TLanguage language = TLanguage::English,
                   const std::string& machineName = "Plinkora");

// "1.234" for version 1.2.3.4.
std::string VersionNumberText();

// "Plinkora v1.234" for version 1.2.3.4.
std::string VersionText();
