// What the file fuzzers share: a temporary working folder of their own (removed at exit), a check
// that stops the run, and whole-file reads.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace qzm::fuzz {

inline void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

inline std::filesystem::path& Folder() {
    static std::filesystem::path folder;
    return folder;
}

inline void RemoveFolder() {
    std::error_code ec;
    std::filesystem::current_path(std::filesystem::temp_directory_path(), ec);
    std::filesystem::remove_all(Folder(), ec);
}

// name: the folder name's prefix, e.g. "qzm-album-file-fuzz".
inline void EnterOwnFolder(const char* name) {
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(name) + "-XXXXXX")).string();
    Require(::mkdtemp(pattern.data()) != nullptr, "no temporary folder");
    Folder() = pattern;
    std::filesystem::current_path(Folder());
    std::atexit(RemoveFolder);
}

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace qzm::fuzz
