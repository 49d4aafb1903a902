// What starting the companion leaves behind in the host's process: no child to reap, no changed signal
// disposition, no descriptor, no source in the host's main context; with a session bus, no connection, and
// the launch announced on the bus.
#include "ExportScene.h"
#include "TestFiles.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testhost::Document;
using testhost::TestHost;

std::multiset<std::string> Descriptors() {
    std::multiset<std::string> targets;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code closed; // meanwhile, on one of GLib's threads
        const std::string target = fs::read_symlink(entry.path(), closed).string();
        if (!closed) {
            targets.insert(target);
        }
    }
    return targets;
}

size_t Count(const std::multiset<std::string>& targets, const std::string& prefix) {
    size_t count = 0;
    for (const std::string& target : targets) {
        count += target.rfind(prefix, 0) == 0 ? 1 : 0;
    }
    return count;
}

// The descriptors once no more than this many sockets are open: GLib closes the bus connection's socket on
// its D-Bus thread, a moment after the connection itself is gone.
std::multiset<std::string> DescriptorsWithSockets(size_t sockets) {
    std::multiset<std::string> now = Descriptors();
    for (int i = 0; i < 200 && Count(now, "socket:") > sockets; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        now = Descriptors();
    }
    return now;
}

void* SigchldHandler() {
    struct sigaction action {};
    sigaction(SIGCHLD, nullptr, &action);
    return reinterpret_cast<void*>(action.sa_handler);
}

bool HasChildToReap() {
    int status = 0;
    return !(waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD);
}

// GLib is in the process only as the module's dependency; its default main context is the host's.
bool DefaultContextHasPendingSources() {
    void* glib = dlopen("libglib-2.0.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (glib == nullptr) {
        return false;
    }
    using Pending = int (*)(void*);
    auto pending = reinterpret_cast<Pending>(dlsym(glib, "g_main_context_pending"));
    const bool result = pending != nullptr && pending(nullptr) != 0;
    dlclose(glib);
    return result;
}

std::string StatusField(const std::string& status, const std::string& field) {
    std::istringstream lines(testfiles::ReadText(status));
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(field + ":", 0) == 0) {
            return line.substr(line.find_first_not_of(" \t", field.size() + 1));
        }
    }
    return std::string();
}

bool Blocks(const std::string& mask, int signal) {
    return (std::stoull(mask, nullptr, 16) >> (signal - 1) & 1) != 0;
}

// The signal masks of the threads GLib started, by their names.
std::vector<std::string> GLibThreadMasks() {
    std::vector<std::string> masks;
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
        const std::string name = testfiles::ReadText(task.path().string() + "/comm");
        if (name.rfind("gmain", 0) == 0 || name.rfind("gdbus", 0) == 0 || name.rfind("pool", 0) == 0) {
            masks.push_back(StatusField(task.path().string() + "/status", "SigBlk"));
        }
    }
    return masks;
}

class Launch : public testhost::ExportFolders {
protected:
    struct Started {
        std::string mask;
        std::vector<std::string> descriptors;
    };

    // What the companion started with, once it has started on the file.
    Started ExportOnce(const std::string& name) {
        testfiles::TempFolder data;
        testfiles::ScopedEnv home("XDG_DATA_HOME", data.Path());
        testfiles::FakeCompanion companion(data.Path());
        TestHost host(Document(plugInModeRGBColor, 8, 3, 1, 1, name));
        EXPECT_EQ(host.Export(module), 0);
        const auto arguments = companion.WaitForArguments();
        EXPECT_TRUE(arguments.has_value());
        EXPECT_EQ(arguments.value_or(std::vector<std::string>{}),
                  std::vector<std::string>{FileOf(name + ".ppm")});
        return Started{companion.SignalMask(), companion.Descriptors()};
    }
};

TEST_F(Launch, WithoutASessionBusLeavesTheProcessAsItWas) {
    testfiles::ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
    testfiles::ScopedEnv runtime("XDG_RUNTIME_DIR", scratch.Path());
    ExportOnce("Warm"); // GLib's one-time set-up happens here
    const auto descriptors = Descriptors();
    void* handler = SigchldHandler();

    ExportOnce("Second");
    EXPECT_EQ(Descriptors(), descriptors);
    EXPECT_EQ(SigchldHandler(), handler);
    EXPECT_FALSE(HasChildToReap()) << "the companion's starter was reaped";
    EXPECT_FALSE(DefaultContextHasPendingSources());
}

// A private session bus, as on a desktop: GIO announces the launch on it.
class SessionBus {
public:
    SessionBus() {
        FILE* out = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1 2>/dev/null", "r");
        if (out == nullptr) {
            return;
        }
        char line[512] = {};
        if (fgets(line, sizeof line, out) != nullptr) {
            address = std::string(line);
            address.erase(address.find_last_not_of('\n') + 1);
        }
        if (fgets(line, sizeof line, out) != nullptr) {
            pid = std::atoi(line);
        }
        pclose(out);
    }
    ~SessionBus() {
        if (pid > 0) {
            kill(pid, SIGTERM);
        }
    }
    bool Running() const { return pid > 0 && !address.empty(); }

    std::string address;
    pid_t pid = 0;
};

// Launches with a private session bus as the desktop's.
class LaunchOnABus : public Launch {
protected:
    void SetUp() override {
        Launch::SetUp();
        if (!bus.Running()) {
            GTEST_SKIP() << "dbus-daemon is not available";
        }
        address.emplace("DBUS_SESSION_BUS_ADDRESS", bus.address);
    }

    SessionBus bus;
    std::optional<testfiles::ScopedEnv> address;
};

TEST_F(LaunchOnABus, WithASessionBusGivesTheConnectionBackAndLeavesNoSource) {
    const size_t socketsBefore = Count(Descriptors(), "socket:");
    ExportOnce("Warm"); // starts GLib's D-Bus thread, which stays with the process
    const auto descriptors = DescriptorsWithSockets(socketsBefore);
    EXPECT_EQ(Count(descriptors, "socket:"), socketsBefore) << "the bus connection was closed";
    EXPECT_FALSE(DefaultContextHasPendingSources());

    ExportOnce("Second");
    EXPECT_EQ(DescriptorsWithSockets(socketsBefore), descriptors)
        << "nothing accumulates from launch to launch";
    EXPECT_FALSE(HasChildToReap());
    EXPECT_FALSE(DefaultContextHasPendingSources());
}

// Records GIO's launch announcements on a bus, from the moment it is constructed.
class AnnouncementLog {
public:
    AnnouncementLog(const std::string& address, std::string log) : log(std::move(log)) {
        const std::string command =
            "dbus-monitor --address '" + address +
            "' \"type='signal',interface='org.gtk.gio.DesktopAppInfo',member='Launched'\" >'" + this->log +
            "' 2>&1 & echo $!";
        FILE* out = popen(command.c_str(), "r");
        char line[64] = {};
        if (out != nullptr && fgets(line, sizeof line, out) != nullptr) {
            pid = std::atoi(line);
        }
        if (out != nullptr) {
            pclose(out);
        }
        // Its own name is taken and let go as it turns monitor, before anything is recorded.
        WaitFor("member=NameLost");
    }
    ~AnnouncementLog() {
        if (pid > 0) {
            kill(pid, SIGTERM);
        }
    }
    // Whether the text shows up in the log within a few seconds: an announcement lost is lost for good.
    bool WaitFor(const std::string& text) const {
        for (int i = 0; i < 500; ++i) {
            std::ifstream in(log);
            const std::string recorded((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
            if (recorded.find(text) != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

private:
    std::string log;
    pid_t pid = 0;
};

// The launcher process ends right after the launch; the announcement must still reach the bus.
TEST_F(LaunchOnABus, WithASessionBusTheLaunchIsAnnouncedOnIt) {
    const AnnouncementLog announcements(bus.address, scratch.Join("announcements"));
    ExportOnce("Announced");
    EXPECT_TRUE(announcements.WaitFor("\"file://" + FileOf("Announced.ppm") + "\""));
}

// GLib masks its own worker thread, but not its D-Bus thread or its task threads, which a launch on a
// desktop starts. The companion starts as a desktop starts applications: the mask of the host's thread, no
// descriptor of the host's, the standard streams on /dev/null.
TEST_F(LaunchOnABus, GLibsThreadsTakeNoSignalsAndTheCompanionGetsTheHostsMask) {
    sigset_t usr1;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    sigset_t old;
    pthread_sigmask(SIG_BLOCK, &usr1, &old);
    const std::string hostMask = StatusField("/proc/thread-self/status", "SigBlk");
    const Started companion = ExportOnce("Masks");
    pthread_sigmask(SIG_SETMASK, &old, nullptr);

    EXPECT_TRUE(Blocks(hostMask, SIGUSR1));
    EXPECT_EQ(companion.mask, hostMask) << "the host thread's mask, not the launch's own";
    EXPECT_EQ(companion.descriptors, (std::vector<std::string>{"0:null", "1:null", "2:null"}));
    const std::vector<std::string> masks = GLibThreadMasks();
    EXPECT_FALSE(masks.empty()) << "GLib keeps its D-Bus thread";
    for (const std::string& mask : masks) {
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGCHLD, SIGPIPE, SIGUSR1, SIGALRM}) {
            EXPECT_TRUE(Blocks(mask, signal)) << "signal " << signal << " in mask " << mask;
        }
    }
}

} // namespace
