// Children that report to their parent through a pipe, and a way to run a check whose setup must not touch
// the calling process (resource limits, another user id) in a child of its own.
#ifndef QUENFIELD_HOST_CHILDPROCESS_H
#define QUENFIELD_HOST_CHILDPROCESS_H

#include <functional>
#include <string>
#include <sys/types.h>

namespace host {

// A forked child and the parent's end of the pipe it reports through. When the fork failed, pid is -1,
// failed names the step and error is its errno.
struct ForkedChild {
    pid_t pid = -1;
    int channel = -1;
    const char* failed = nullptr;
    int error = 0;
};

// Flushes the standard streams, then forks a child that runs body with its end of the pipe (closed on exec)
// and ends with _exit(0), without exit handlers: what the child leaves behind is for its parent to judge.
ForkedChild ForkReporting(const std::function<void(int channel)>& body);
// Writes all of text, or as much as the pipe takes before it fails.
void WriteAll(int fd, const std::string& text);

// Failures of checks made in a child, collected as text for the parent to report.
class ChildReport {
public:
    void Expect(bool ok, const std::string& what) {
        if (!ok) {
            text += what + "; ";
        }
    }
    const std::string& Text() const { return text; }

private:
    std::string text;
};

// Root passes every permission check, so what needs an ordinary user runs as nobody: the tree is handed to
// nobody and the process becomes nobody, for good (call it in a child). Empty on success, else what failed.
std::string BecomeNobody(const std::string& tree);

// Runs body in a forked child and returns what it reported: empty when every check in it held, else the
// failures it described, or how the child died.
std::string RunInChild(const std::function<std::string()>& body);

} // namespace host

#endif
