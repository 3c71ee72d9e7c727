#include "Language.h"
#include "cli/ControlCommandLine.h"
#include "windows/ControllerStartup.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>
#include <string>
#include <vector>

// "--language CODE" may come with either way of running and is taken out first. Then options
// starting with "--" run without windows; anything else starts the window (the arguments then
// name a project to open).
int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const TLanguageOption language = TakeLanguageOption(arguments);
    if (!language.Error.empty()) {
        std::fprintf(stderr, "PKControl: %s\n", language.Error.c_str());
        return 2;
    }
    std::vector<char*> kept{argv[0]};
    for (std::string& argument : arguments)
        kept.push_back(argument.data());
    int keptCount = static_cast<int>(kept.size());
    kept.push_back(nullptr);
    if (arguments.empty() || !arguments.front().starts_with("--"))
        return RunController(keptCount, kept.data(), language.Language);
    QCoreApplication application(keptCount, kept.data());
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString programDirectory = QCoreApplication::applicationDirPath() + "/";
    return RunControlCommandLine(args, programDirectory, out, err,
                                 language.Language.value_or(DefaultLanguage));
}
