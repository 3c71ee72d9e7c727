#pragma once

#include <string>
#include <string_view>

// Replaces the file at `path` with `data` so that at every moment, also after a crash or a
// power loss, the file is either the old one or the new one, whole: the data goes to a new
// file beside it, is flushed to the disk, renamed over the old one, and the folder is flushed
// so the rename lasts. An existing file keeps its permissions. False (the old file untouched,
// no temporary file left) when any step fails; errno tells why.
bool ReplaceFileDurably(const std::string& path, std::string_view data);
