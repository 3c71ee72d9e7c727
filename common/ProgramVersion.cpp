#include "ProgramVersion.h"

std::string ProgramVersionText() {
    return std::to_string(PLINKORA_VERSION_MAJOR) + "." + std::to_string(PLINKORA_VERSION_MINOR) +
           std::to_string(PLINKORA_VERSION_PATCH) + std::to_string(PLINKORA_VERSION_TWEAK);
}
