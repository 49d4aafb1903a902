// The launch against a session bus that accepts and never answers: it ends within its limit, starts nothing
// and leaves nothing that holds up the next launch; SIGINT and SIGTERM reach the host while it waits.
#include "FakeBus.h"
#include "FakeCompanion.h"
#include "TestFiles.h"
#include "platform/Error.h"
#include "platform/Launch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::chrono::milliseconds kLimit = 600ms;
// What a busy machine may add to the limit; a launch that waits on the bus for ever exceeds any of it.
const std::chrono::milliseconds kSlack = 2000ms;

// Ends the process when a test body hangs, so that a launch that never returns fails instead of stalling.
class Watchdog {
public:
    Watchdog()
        : thread([this] {
              std::unique_lock<std::mutex> lock(mutex);
              if (!released.wait_for(lock, 30s, [this] { return done; })) {
                  std::fputs("the launch hung\n", stderr);
                  std::_Exit(1);
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            done = true;
        }
        released.notify_one();
        thread.join();
    }

private:
    std::mutex mutex;
    std::condition_variable released;
    bool done = false;
    std::thread thread;
};

class SilentBus : public ::testing::Test {
protected:
    SilentBus()
        : bus(scratch.Join("silent-bus")), address("DBUS_SESSION_BUS_ADDRESS", bus.Address()),
          runtime("XDG_RUNTIME_DIR", scratch.Path()), dataHome("XDG_DATA_HOME", scratch.Join("data")),
          dataDirs("XDG_DATA_DIRS", scratch.Join("no-data")), companion(scratch.Join("data")) {
        testfiles::WriteText(file, "P6\n1 1\n65535\n......");
    }

    testfiles::TempFolder scratch;
    testfiles::FakeBus bus;
    testfiles::ScopedEnv address;
    testfiles::ScopedEnv runtime;
    testfiles::ScopedEnv dataHome;
    testfiles::ScopedEnv dataDirs;
    testfiles::FakeCompanion companion;
    const std::string file = scratch.Join("Silent.ppm");
};

TEST_F(SilentBus, TheLaunchEndsWithinItsLimitStartsNothingAndHoldsUpNoLaterLaunch) {
    Watchdog watchdog;
    for (int attempt = 1; attempt <= 2; ++attempt) {
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(_sys::StartApplication(file, kLimit), eERROR_COMPANION_NOT_LAUNCHED);
        EXPECT_LT(Clock::now() - start, kLimit + kSlack) << "attempt " << attempt;
    }
    EXPECT_FALSE(companion.Started());

    // With the usual limit: finding that there is no bus at all may take a loaded machine a while.
    testfiles::ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
    EXPECT_EQ(_sys::StartApplication(file), eERROR_NONE) << "the abandoned bus is gone";
    const auto arguments = companion.WaitForArguments();
    ASSERT_TRUE(arguments.has_value());
    EXPECT_EQ(*arguments, std::vector<std::string>{file});
}

// A desktop entry that is a FIFO stalls its lookup where no cancellation reaches, as a hung file system
// would.
TEST(StalledLookup, EndsTheLaunchWithinItsLimit) {
    Watchdog watchdog;
    testfiles::TempFolder scratch;
    const std::string applications = scratch.Join("data/applications");
    const std::string entry = applications + "/" QUENFIELD_APP_ID ".desktop";
    std::filesystem::create_directories(applications);
    ASSERT_EQ(mkfifo(entry.c_str(), 0600), 0);
    testfiles::ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
    testfiles::ScopedEnv runtime("XDG_RUNTIME_DIR", scratch.Path());
    testfiles::ScopedEnv dataHome("XDG_DATA_HOME", scratch.Join("data"));
    testfiles::ScopedEnv dataDirs("XDG_DATA_DIRS", scratch.Join("no-data"));
    const std::string file = scratch.Join("Stalled.ppm");
    testfiles::WriteText(file, "P6\n1 1\n65535\n......");

    const Clock::time_point start = Clock::now();
    EXPECT_EQ(_sys::StartApplication(file, kLimit), eERROR_COMPANION_NOT_LAUNCHED);
    EXPECT_LT(Clock::now() - start, kLimit + kSlack);
    // Lets the abandoned lookup go (it finds no regular file and ends) before the environment is restored.
    close(open(entry.c_str(), O_WRONLY));
    std::this_thread::sleep_for(100ms);
}

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
    interrupted = 1;
}

// Signals the process as another process would: from a thread that takes none itself, once the launch is
// talking to the bus. Its exit codes tell what went wrong when the host is not ended by SIGTERM.
void InterruptThenTerminate(testfiles::FakeBus& bus, const std::string& scratch) {
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, nullptr);
    if (!bus.AwaitClient()) {
        std::_Exit(2);
    }
    kill(getpid(), SIGINT);
    for (int i = 0; i < 300 && interrupted == 0; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    if (interrupted == 0) {
        std::_Exit(3);
    }
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored); // this process ends without its destructors
    kill(getpid(), SIGTERM);
    std::this_thread::sleep_for(3s);
    std::_Exit(4);
}

TEST_F(SilentBus, SigintAndSigtermActOnTheHostDuringTheLaunch) {
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // a fresh process: GLib's threads do not survive a fork
    EXPECT_EXIT(
        {
            std::signal(SIGINT, OnInterrupt);
            std::thread(InterruptThenTerminate, std::ref(bus), scratch.Path()).detach();
            _sys::StartApplication(file);
            std::_Exit(5);
        },
        ::testing::KilledBySignal(SIGTERM), "");
}

} // namespace
