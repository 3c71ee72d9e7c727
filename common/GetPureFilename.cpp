#include "GetPureFilename.h"

std::string FileNamePart(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string StripExtension(const std::string& path) {
    if (path.size() > 3 && path[path.size() - 4] == '.')
        return path.substr(0, path.size() - 4);
    return path;
}

bool NamesMidiFile(const std::string& path) {
    return path.ends_with(".mid");
}
