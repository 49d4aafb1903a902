#include "platform/linux/WordWrap.h"

namespace {

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The longest start of word that fits, at least one whole character so that cutting always moves on.
size_t CutPoint(const std::string& word, const std::function<bool(const std::string&)>& fits) {
    size_t cut = 1;
    while (cut < word.size() && IsContinuationByte(word[cut])) {
        ++cut;
    }
    for (size_t next = cut + 1; next <= word.size(); ++next) {
        if (next < word.size() && IsContinuationByte(word[next])) {
            continue;
        }
        if (!fits(word.substr(0, next))) {
            break;
        }
        cut = next;
    }
    return cut;
}

} // namespace

std::vector<std::string> WrapWords(const std::string& text,
                                   const std::function<bool(const std::string&)>& fits) {
    std::vector<std::string> lines;
    std::string line;
    std::string word;
    const auto endWord = [&] {
        while (!word.empty() && !fits(word)) {
            if (!line.empty()) {
                lines.push_back(line);
                line.clear();
            }
            const size_t cut = CutPoint(word, fits);
            lines.push_back(word.substr(0, cut));
            word.erase(0, cut);
        }
        if (word.empty()) {
            return;
        }
        const std::string joined = line.empty() ? word : line + " " + word;
        if (line.empty() || fits(joined)) {
            line = joined;
        } else {
            lines.push_back(line);
            line = word;
        }
        word.clear();
    };
    for (const char c : text) {
        if (c == '\n' || c == '\r') {
            endWord();
            lines.push_back(line);
            line.clear();
        } else if (c == ' ') {
            endWord();
        } else {
            word += c;
        }
    }
    endWord();
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}
