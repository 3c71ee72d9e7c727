#include "ProgramVersion.h"

std::string ProgramVersionText() {
    return std::to_string(PLINKORA_VERSION_MAJOR) + "." + std::to_string(PLINKORA_VERSION_MINOR) +
           std::to_string(PLINKORA_VERSION_PATCH) + std::to_string(PLINKORA_VERSION_TWEAK);
}

std::string ProgramLicenceText() {
    return "Licence: GPL-3.0-or-later <https://www.gnu.org/licenses/gpl-3.0.html>\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}
