#pragma once

#include <string>

// The version both programs show (window titles, about and info windows, --version), built from
// the project version: "1.234" for version 1.2.3.4.
std::string ProgramVersionText();

// The lines --version prints after the version line, each ended by a line feed: the licence
// and that there is no warranty.
std::string ProgramLicenceText();
