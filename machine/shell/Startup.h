#pragma once

// Starts the machine's windows in their fixed order and runs until the server window closes.
int RunMachine(int argc, char** argv);
