#pragma once

// Starts the controller's window: `PKControl [PROJECT.pkp]` (the arguments are joined with
// single spaces, so a path with spaces arrives whole). Returns the exit status.
int RunController(int argc, char** argv);
