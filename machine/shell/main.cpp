#include "Language.h"
#include "cli/CommandLine.h"
#include "cli/SyncOptions.h"
#include "shell/ServingMachine.h"
#include "shell/Startup.h"

#include <filesystem>
#include <iostream>

// Options starting with "--" run without windows; anything else starts the machine's windows
// (the arguments then name a song to load). "--language de|en" may come with either, the
// synchronisation options (SyncOptions.h) with the windows, "--serve" and "--play".
int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const TLanguageOption language = TakeLanguageOption(args);
    if (!language.Error.empty()) {
        std::cerr << "Plinkora: " << language.Error << "\n";
        return 2;
    }
    std::vector<std::string> action = args; // what runs, whatever the synchronisation
    if (const TSyncOptions sync = TakeSyncOptions(action); !sync.Error.empty()) {
        std::cerr << "Plinkora: " << sync.Error << "\n";
        return 2;
    }
    if (!action.empty() && action[0] == "--serve")
        return RunServingMachine(argc, argv);
    if (!action.empty() && std::string_view(action[0]).starts_with("--"))
        return RunCommandLine(args, std::cout, std::cerr,
                              language.Language.value_or(TLanguage::English),
                              std::filesystem::path(argv[0]).stem().string());
    return RunMachine(argc, argv);
}
