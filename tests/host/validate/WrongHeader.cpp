// Broken: writes the host's 16-bit range, 32768, as the maximum value of a 16-bit document's PPM.
#include "RealPlugin.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>

namespace {

void SpoilHeader(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "r+b");
    if (file == nullptr) {
        return;
    }
    char head[64] = {};
    const size_t length = std::fread(head, 1, sizeof head - 1, file);
    const char* maximum = std::strstr(head, "\n65535\n");
    if (length > 0 && std::strncmp(head, "P6\n", 3) == 0 && maximum != nullptr) {
        std::fseek(file, long(maximum - head) + 1, SEEK_SET);
        std::fwrite("32768", 1, 5, file);
    }
    std::fclose(file);
}

void SpoilExports() {
    const char* temp = std::getenv("TMPDIR");
    if (temp == nullptr) {
        return;
    }
    const std::string folder = std::string(temp) + "/QuenfieldImport";
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') {
            SpoilHeader(folder + "/" + entry->d_name);
        }
    }
    closedir(dir);
}

} // namespace

BROKEN_ENTRY PluginMain(int16_t selector, void* block, intptr_t* data, int16_t* result) {
    broken::CallReal(selector, block, data, result);
    const auto* record = static_cast<const ExportRecord*>(block);
    if (selector == exportSelectorStart && record != nullptr && data != nullptr && result != nullptr &&
        record->depth == 16) {
        SpoilExports();
    }
}
