#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

// A private folder for the files one fuzz process reads and writes, removed when it ends.
class TFuzzFolder {
public:
    // In memory (/dev/shm) where there is such a file system: every run rewrites its files.
    TFuzzFolder() {
        std::error_code error;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "pkfuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        path_ = pattern;
    }
    ~TFuzzFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TFuzzFolder(const TFuzzFolder&) = delete;
    TFuzzFolder& operator=(const TFuzzFolder&) = delete;

    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

    // Replaces the file `name` by `bytes`; returns its path.
    std::string Write(const std::string& name, std::string_view bytes) const {
        const std::string path = File(name);
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
            std::fclose(file) != 0) {
            std::perror(path.c_str());
            std::abort();
        }
        return path;
    }

private:
    std::filesystem::path path_;
};

inline std::string_view AsText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Stops the run with a finding: a property that must hold did not.
[[noreturn]] inline void FuzzFailure(const std::string& what) {
    std::fprintf(stderr, "property violated: %s\n", what.c_str());
    std::abort();
}
