#include "ExportWorker.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace gimpbridge {
namespace {

class Descriptor {
public:
    Descriptor() = default;
    ~Descriptor() { Reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }
    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

// One way, bridge to child. A socket, so that the bridge's writes after the child ended fail rather than
// raise SIGPIPE.
struct Channel {
    Channel() {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
            throw std::runtime_error(std::string("cannot make a channel to the export process: ") +
                                     std::strerror(errno));
        }
        read.Reset(fds[0]);
        write.Reset(fds[1]);
    }
    Descriptor read;
    Descriptor write;
};

bool WriteAll(int fd, const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t written = ::send(fd, bytes, size, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// Whole, or false at the end of the pipe.
bool ReadAll(int fd, void* data, size_t size) {
    auto* bytes = static_cast<unsigned char*>(data);
    while (size > 0) {
        const ssize_t got = ::read(fd, bytes, size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        bytes += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

// The child's document: rows as they come down the pipe. Once the pipe ends early, the bridge is gone and
// every further row is blank, while the abort poll tells the plug-in to stop.
class PipedRows final : public host::RowSource {
public:
    PipedRows(host::DocumentInfo info, int fd) : info_(std::move(info)), fd_(fd), row_(info_.RowBytes()) {}
    const host::DocumentInfo& Info() const override { return info_; }
    const void* Row(uint32_t y) override {
        if (next_ > 0 && y == next_ - 1) {
            return row_.data();
        }
        if (y < next_) {
            throw std::runtime_error("row " + std::to_string(y) + " was asked for again after a later one");
        }
        while (next_ <= y) {
            if (!gone_ && !ReadAll(fd_, row_.data(), row_.size())) {
                gone_ = true;
            }
            ++next_;
        }
        if (gone_) {
            std::fill(row_.begin(), row_.end(), 0);
        }
        return row_.data();
    }
    bool Gone() const { return gone_; }

private:
    host::DocumentInfo info_;
    int fd_;
    std::vector<unsigned char> row_;
    uint32_t next_ = 0;
    bool gone_ = false;
};

// The outcome on its way back: the result, whether the export could not run at all, and the words. A bridge
// that is gone reads none of it.
void SendOutcome(int fd, int16_t result, bool threw, const std::string& words) {
    const uint8_t flag = threw ? 1 : 0;
    const auto length = static_cast<uint32_t>(words.size());
    std::string message(sizeof result + sizeof flag + sizeof length, '\0');
    std::memcpy(&message[0], &result, sizeof result);
    std::memcpy(&message[sizeof result], &flag, sizeof flag);
    std::memcpy(&message[sizeof result + sizeof flag], &length, sizeof length);
    message += words;
    WriteAll(fd, message.data(), message.size());
}

host::ExportOutcome ReceiveOutcome(int fd) {
    host::ExportOutcome outcome;
    uint8_t threw = 0;
    uint32_t length = 0;
    if (!ReadAll(fd, &outcome.result, sizeof outcome.result) || !ReadAll(fd, &threw, sizeof threw) ||
        !ReadAll(fd, &length, sizeof length)) {
        throw std::runtime_error("the export process ended without an outcome");
    }
    std::string words(length, '\0');
    if (!ReadAll(fd, words.data(), words.size())) {
        throw std::runtime_error("the export process ended without an outcome");
    }
    if (threw != 0) {
        throw std::runtime_error(words);
    }
    outcome.hostError = std::move(words);
    return outcome;
}

// Only the plug-in and the host library run here: nothing of GIMP's, whose threads and wire are the
// bridge's. _exit, so that no exit handler of theirs runs either.
[[noreturn]] void RunChild(host::PluginLibrary& plugin, const host::DocumentInfo& info, int rowsFd,
                           int resultFd) {
    try {
        PipedRows rows(info, rowsFd);
        host::ExportSession session(plugin, rows, {nullptr, [&rows] { return rows.Gone(); }});
        const host::ExportOutcome outcome = session.Run();
        SendOutcome(resultFd, outcome.result, false, outcome.hostError);
    } catch (const std::exception& e) {
        SendOutcome(resultFd, 0, true, e.what());
    }
    ::_exit(0);
}

} // namespace

host::ExportOutcome ExportInWorker(host::PluginLibrary& plugin, host::RowSource& document,
                                   const std::function<void(int32_t sent, int32_t total)>& progress) {
    const host::DocumentInfo& info = document.Info();
    Channel rows;
    Channel result;
    const pid_t child = ::fork();
    if (child < 0) {
        throw std::runtime_error(std::string("cannot start the export process: ") + std::strerror(errno));
    }
    if (child == 0) {
        rows.write.Reset();
        result.read.Reset();
        RunChild(plugin, info, rows.read.Get(), result.write.Get());
    }
    rows.read.Reset();
    result.write.Reset();
    // A plug-in that stops early closes its end: the rest is not sent.
    const auto total = static_cast<int32_t>(info.height);
    for (int32_t y = 0; y < total; ++y) {
        if (!WriteAll(rows.write.Get(), document.Row(static_cast<uint32_t>(y)), info.RowBytes())) {
            break;
        }
        progress(y, total);
    }
    rows.write.Reset();
    try {
        host::ExportOutcome outcome = ReceiveOutcome(result.read.Get());
        ::waitpid(child, nullptr, 0);
        return outcome;
    } catch (...) {
        ::waitpid(child, nullptr, 0);
        throw;
    }
}

} // namespace gimpbridge
