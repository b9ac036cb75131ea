// A test fixture that runs each test in a fresh temporary folder as the working folder, since the
// program addresses its files relative to it. Shared by the files and core tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace qzm::testing {

class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::string templ = (std::filesystem::temp_directory_path() / "qzm_test_XXXXXX").string();
        ASSERT_NE(::mkdtemp(templ.data()), nullptr);
        folder_ = templ;
        std::filesystem::current_path(folder_);
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }

    static void WriteBytes(const std::string& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    static std::string ReadBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::filesystem::path folder_;

private:
    std::filesystem::path previous_;
};

}  // namespace qzm::testing
