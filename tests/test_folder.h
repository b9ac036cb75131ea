// Every test works in a fresh temporary folder of its own, removed afterwards, so that no test
// touches the user's files or another test's; and reads and writes whole files there.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

class TestFolder {
public:
    // A new folder under a random name (create_directory says false when the name is taken).
    TestFolder() {
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = std::filesystem::temp_directory_path() / ("qzm-test-" + std::to_string(random()));
            std::error_code ec;
            if (std::filesystem::create_directory(path_, ec))
                return;
        }
        std::abort();
    }
    ~TestFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Makes a TestFolder the working folder for the lifetime of the object, for code that addresses
// its files relative to it. A fixture member: each test gets its own.
class ScopedWorkingFolder {
public:
    ScopedWorkingFolder() : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder_.path());
    }
    ~ScopedWorkingFolder() {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
    }
    const std::filesystem::path& path() const { return folder_.path(); }

private:
    TestFolder folder_;
    std::filesystem::path previous_;
};

// The file's bytes; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Plain write, without the flush to disk of the program's writer: tests write many files. The old
// file is removed first, as some file systems flush a file that is truncated and written again.
inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    std::ofstream(path, std::ios::binary) << bytes;
}
