#include "ImportLog.h"

#include <ctime>
#include <fstream>
#include <iostream>

namespace companion {
namespace {

std::string Timestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

} // namespace

void LogImport(const std::filesystem::path& folder, const std::string& line) {
    // One write, so that the line stays whole beside the host's output on the same terminal.
    std::cerr << ("quenfield-import: " + line + "\n") << std::flush;
    std::error_code error;
    if (folder.empty() || !std::filesystem::is_directory(folder, error)) {
        return;
    }
    std::ofstream log(folder / "quenfield-import.log", std::ios::app);
    log << Timestamp() << ' ' << line << '\n';
}

} // namespace companion
