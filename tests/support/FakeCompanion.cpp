#include "FakeCompanion.h"

#include "TestFiles.h"

#include <chrono>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace testfiles {

FakeCompanion::FakeCompanion(const std::string& dataFolder, const std::string& extraLines,
                             const std::string& program) {
    const std::string applications = dataFolder + "/applications";
    std::filesystem::create_directories(applications);
    const std::string script = dataFolder + "/companion.sh";
    record = dataFolder + "/companion.args";
    mask = dataFolder + "/companion.sigblk";
    descriptors = dataFolder + "/companion.fds";
    // Only builtins until everything is recorded: a command started from the shell would look at the shell
    // while it forks, with its own signals blocked for the moment. The status is taken in one read: read line
    // by line, each line would come from a fresh copy of the file, whose earlier lines change length
    // meanwhile. The descriptors skip the script, which the shell keeps open, and the listing's own, closed
    // by the time it is looked at. The argument record is renamed into place so a reader never sees half.
    WriteText(
        script,
        "#!/bin/bash\n"
        "mapfile -t status < /proc/$$/status\n"
        "for line in \"${status[@]}\"; do\n"
        "  [ \"${line%%:*}\" = SigBlk ] && blocked=${line#SigBlk:} && blocked=${blocked//[[:space:]]/}\n"
        "done\n"
        "open=()\n"
        "for fd in /proc/$$/fd/*; do\n"
        "  [ -e \"$fd\" ] && ! [ \"$fd\" -ef \"$0\" ] || continue\n"
        "  if [ \"$fd\" -ef /dev/null ]; then open+=(\"${fd##*/}:null\"); else open+=(\"${fd##*/}\"); fi\n"
        "done\n"
        "printf '%s\\n' \"$blocked\" > '" +
            mask + "'\nprintf '%s\\n' \"${open[@]}\" > '" + descriptors +
            "'\n"
            "{ printf '%s\\n' \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > '" +
            record + ".part' && mv '" + record + ".part' '" + record + "'\n");
    chmod(script.c_str(), 0755);
    WriteText(applications + "/" QUENFIELD_APP_ID ".desktop",
              "[Desktop Entry]\nType=Application\nName=Quenfield test companion\nExec=" +
                  (program.empty() ? script : program) + " %f\n" + extraLines);
}

std::string FakeCompanion::SignalMask() const {
    std::string text = ReadText(mask);
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

std::vector<std::string> FakeCompanion::Descriptors() const {
    std::istringstream lines(ReadText(descriptors));
    std::vector<std::string> open;
    for (std::string line; std::getline(lines, line);) {
        open.push_back(line);
    }
    return open;
}

bool FakeCompanion::Started() const {
    return std::filesystem::exists(record);
}

std::optional<std::vector<std::string>> FakeCompanion::WaitForArguments() const {
    for (int i = 0; i < 1000 && !Started(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!Started()) {
        return std::nullopt;
    }
    std::istringstream lines(ReadText(record));
    std::string line;
    std::getline(lines, line);
    const int count = std::stoi(line);
    std::vector<std::string> arguments;
    for (int i = 0; i < count && std::getline(lines, line); ++i) {
        arguments.push_back(line);
    }
    return arguments;
}

// The parent's number is the second field after the name, which may hold spaces and parentheses itself.
std::vector<pid_t> ChildProcesses() {
    std::vector<pid_t> children;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const std::string text = ReadText(entry.path().string() + "/stat"); // empty when gone meanwhile
        const size_t nameEnd = text.rfind(')');
        if (nameEnd == std::string::npos) {
            continue;
        }
        std::istringstream fields(text.substr(nameEnd + 1));
        std::string state;
        pid_t parent = 0;
        if (fields >> state >> parent && parent == getpid()) {
            children.push_back(std::stoi(name));
        }
    }
    return children;
}

} // namespace testfiles
