#include "program_run.h"

std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ' || c == '\t') {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\'') {
            while (++i < line.size() && line[i] != '\'')
                word += line[i];
        } else if (c == '"') {
            while (++i < line.size() && line[i] != '"') {
                if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\'))
                    ++i;
                word += line[i];
            }
        } else if (c == '\\' && i + 1 < line.size()) {
            word += line[++i];
        } else {
            word += c;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}
