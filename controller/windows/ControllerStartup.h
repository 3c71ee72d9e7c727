#pragma once

#include "Language.h"

#include <optional>

// Starts the controller's window: `PKControl [PROJECT.pkp]` (the arguments are joined with
// single spaces, so a path with spaces arrives whole). `runLanguage` (from --language) is this
// run's language instead of the settings' one. Returns the exit status.
int RunController(int argc, char** argv, std::optional<TLanguage> runLanguage = {});
