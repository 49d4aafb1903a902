#include "platform/linux/CompanionEntry.h"

#include "platform/Path.h"

#include <cstdlib>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const char* const pcAPP_ID = QUENFIELD_APP_ID;
const char* const pcDESKTOP_SUFFIX = ".desktop";
const char* const pcAPPLICATIONS = "applications";
const char* const pcDEFAULT_DATA_HOME = ".local/share";
const char* const pcDEFAULT_DATA_DIRS = "/usr/local/share:/usr/share";

bool IsAbsolute(const std::string& path) {
    return !path.empty() && path.front() == cPATH_SEPARATOR;
}

// The XDG data folders, most important first, read afresh on every launch; relative ones are ignored.
std::vector<std::string> GetDataFolders() {
    std::vector<std::string> folders;
    const auto add = [&folders](const std::string& folder) {
        if (IsAbsolute(folder)) {
            folders.push_back(folder);
        }
    };
    // A relative XDG_DATA_HOME counts as unset, as it does for `register`, which then writes under HOME.
    const char* home = std::getenv("XDG_DATA_HOME");
    if (home != nullptr && IsAbsolute(home)) {
        add(home);
    } else if (const char* user = std::getenv("HOME")) {
        add(_hlp::CreatePath(user, pcDEFAULT_DATA_HOME));
    }
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::istringstream list(dirs != nullptr && *dirs != '\0' ? dirs : pcDEFAULT_DATA_DIRS);
    for (std::string folder; std::getline(list, folder, ':');) {
        add(folder);
    }
    return folders;
}

} // namespace

namespace _sys {

CDesktopAppInfo FindCompanion() {
    const std::string id = std::string(pcAPP_ID) + pcDESKTOP_SUFFIX;
    for (const std::string& folder : GetDataFolders()) {
        const std::string entry = _hlp::CreatePath(_hlp::CreatePath(folder, pcAPPLICATIONS), id);
        struct stat info {};
        if (stat(entry.c_str(), &info) != 0) {
            continue;
        }
        CDesktopAppInfo app(g_desktop_app_info_new_from_filename(entry.c_str()));
        if (app && g_desktop_app_info_get_is_hidden(app.get())) {
            app.reset();
        }
        return app;
    }
    return CDesktopAppInfo();
}

} // namespace _sys
