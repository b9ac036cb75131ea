// A fresh temporary folder per test, removed afterwards, so no test touches the user's files.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

class TestFolder {
public:
    TestFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qzm-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        path_ = pattern;
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

// Makes a TestFolder the working folder for the lifetime of the object.
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
