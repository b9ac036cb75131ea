// The command-line tool run as a user runs it, in a test folder of its own with the delivered files.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "program_run.h"
#include "test_folder.h"

class CliIntegration : public ::testing::Test {
protected:
    void SetUp() override {
        // The delivered files, as beside the installed program.
        for (const char* name : {"DefSettings.dat", "FullImageInfo.dat", "qzd00.qzb"})
            std::filesystem::copy_file(std::filesystem::path(QZM_DATA_DIR) / name, folder.path() / name);
    }

    // Runs the tool in the test's folder with the arguments split as a shell splits them.
    ProgramRun Cli(const std::string& args, DiskLimit disk = DiskLimit::kNone) {
        std::vector<std::string> words{"--dir", Utf8(folder.path())};
        for (std::string& word : SplitWords(args))
            words.push_back(std::move(word));
        ProgramRun run = RunProgram(CliPath(), words, disk);
#ifdef _WIN32
        // Text on a Windows console ends its lines with CR LF; the tests compare the lines.
        for (std::string* text : {&run.out, &run.err})
            std::erase_if(*text, [](char c) { return c == '\r'; });
#endif
        return run;
    }

    static std::string CliPath() {
#ifdef _WIN32
        return ProgramBesideTests("qzm-cli.exe");
#else
        return ProgramBesideTests("qzm-cli");
#endif
    }

    static std::string Utf8(const std::filesystem::path& path) {
        const std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    }

    ScopedWorkingFolder folder;  // the tool is told it with --dir; the test reads it as its own
};
