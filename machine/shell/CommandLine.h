#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// The machine program's command-line front end. Options start with "--"; any other arguments,
// joined with single spaces, name a song to load at start. Returns the exit status.
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// "Plinkora v1.234" for version 1.2.3.4.
std::string VersionText();
