#include "cli/CommandLine.h"
#include "shell/Startup.h"

#include <iostream>

// Options starting with "--" run without windows; anything else starts the machine's windows
// (the arguments then name a song to load).
int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]).starts_with("--"))
        return RunCommandLine(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                              std::cerr);
    return RunMachine(argc, argv);
}
