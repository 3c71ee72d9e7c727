#pragma once

#include <string>

// The version both programs show (window titles, about and info windows, --version), built from
// the project version: "1.234" for version 1.2.3.4.
std::string ProgramVersionText();
