// The export file under a temporary name until it is complete. Exports coordinate through advisory locks:
// each holds the checked folder shared from the creation of its file until the file has its name, the
// emptying (CheckedFolder.cpp) needs it exclusively, and exports of one name take turns through a lock on
// the file that holds the name.
#include "platform/PendingFile.h"

#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/linux/CheckedFolder.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <thread>
#include <unistd.h>

namespace {

using CClock = std::chrono::steady_clock;

const mode_t uiFILE_MODE = 0600;
const int iNAME_TRIES = 16;
// An export that empties the folder takes milliseconds; one of the same name is awaited at most the hand-off
// time (CheckedFolder.cpp), and a little more is allowed for the turns.
const std::chrono::milliseconds rLOCK_LIMIT(5000);
const std::chrono::milliseconds rNAME_LIMIT(15000);
const std::chrono::milliseconds rPOLL(10);

struct SPending {
    int iFolder = AT_FDCWD;
    std::string strTemporary; // the name it is written under, relative to iFolder
    std::string strFinal;     // the name it is given once complete
};

SPending& GetPending() {
    static SPending pending;
    return pending;
}

// Hidden, and never an export's own name, which cannot begin with a point.
std::string TemporaryName(const std::string& name) {
    uint64_t random = 0;
    if (getrandom(&random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random)) {
        random =
            static_cast<uint64_t>(CClock::now().time_since_epoch().count()) ^ static_cast<uint64_t>(getpid());
    }
    char suffix[17];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random));
    return "." + name + "." + suffix;
}

bool WaitForLock(int folder, int operation) {
    const CClock::time_point deadline = CClock::now() + rLOCK_LIMIT;
    while (flock(folder, operation | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || CClock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(rPOLL);
    }
    return true;
}

bool Rename(const SPending& pending, unsigned int flags) {
    return renameat2(pending.iFolder, pending.strTemporary.c_str(), pending.iFolder, pending.strFinal.c_str(),
                     flags) == 0;
}

enum EReplaced { eREPLACED, eNOT_YET, eREPLACE_FAILED };

EReplaced Replace(const SPending& pending) {
    return Rename(pending, 0) ? eREPLACED : eREPLACE_FAILED;
}

// Under a lock on the file that holds the name, so that two exports waiting for one file never both replace
// it: the second finds the name holding another file once it has the lock.
EReplaced ReplaceUnlessAwaited(const SPending& pending) {
    const int held =
        openat(pending.iFolder, pending.strFinal.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (held == -1) {
        // A link there is nobody's export; a name that went away in the meantime is tried again.
        return errno == ELOOP ? Replace(pending) : errno == ENOENT ? eNOT_YET : eREPLACE_FAILED;
    }
    struct stat heldInfo {};
    struct stat namedInfo {};
    EReplaced replaced = eNOT_YET;
    if (flock(held, LOCK_EX | LOCK_NB) == 0 && fstat(held, &heldInfo) == 0 &&
        fstatat(pending.iFolder, pending.strFinal.c_str(), &namedInfo, AT_SYMLINK_NOFOLLOW) == 0 &&
        heldInfo.st_ino == namedInfo.st_ino && heldInfo.st_dev == namedInfo.st_dev &&
        !_sys::IsAwaited(heldInfo)) {
        replaced = Replace(pending);
    }
    close(held);
    return replaced;
}

// Where renameat2 cannot refuse to replace (some network file systems), a hard link can.
bool NameIfFree(const SPending& pending) {
    if (Rename(pending, RENAME_NOREPLACE)) {
        return true;
    }
    if (errno != EINVAL || linkat(pending.iFolder, pending.strTemporary.c_str(), pending.iFolder,
                                  pending.strFinal.c_str(), 0) != 0) {
        return false;
    }
    unlinkat(pending.iFolder, pending.strTemporary.c_str(), 0);
    return true;
}

bool GiveName(const SPending& pending) {
    const CClock::time_point deadline = CClock::now() + rNAME_LIMIT;
    for (;;) {
        if (NameIfFree(pending)) {
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
        const EReplaced replaced = ReplaceUnlessAwaited(pending);
        if (replaced != eNOT_YET) {
            return replaced == eREPLACED;
        }
        if (CClock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(rPOLL);
    }
}

} // namespace

namespace _sys {

bool CreatePendingFile(int& fd, const std::string& path) {
    _hlp::Require(!path.empty());
    fd = -1;
    SPending& pending = GetPending();
    pending = SPending();
    const SFilePlace place = LocateFile(path);
    if (place.iFolder == AT_FDCWD || place.iFolder != GetCheckedFolder()) {
        if (!OpenFile(fd, path, true, true)) {
            return false;
        }
        pending = SPending{AT_FDCWD, path, path};
        return true;
    }
    // A folder under the name would survive every emptying and refuse the finished file.
    struct stat named {};
    if ((fstatat(place.iFolder, place.strName.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISDIR(named.st_mode)) ||
        !WaitForLock(place.iFolder, LOCK_SH)) {
        return false;
    }
    for (int i = 0; i < iNAME_TRIES && fd == -1; ++i) {
        const std::string name = TemporaryName(place.strName);
        fd = openat(place.iFolder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    uiFILE_MODE);
        if (fd != -1) {
            pending = SPending{place.iFolder, name, place.strName};
        } else if (errno != EEXIST) {
            break;
        }
    }
    if (fd == -1) {
        flock(place.iFolder, LOCK_UN);
    }
    return fd != -1;
}

bool PublishPendingFile() {
    const SPending pending = GetPending();
    GetPending() = SPending();
    if (pending.strTemporary == pending.strFinal) {
        return !pending.strFinal.empty();
    }
    // Marked before it has its name, so that the companion's first read is what clears the mark.
    const timespec times[2] = {{0, 0}, {0, UTIME_NOW}};
    const bool named =
        utimensat(pending.iFolder, pending.strTemporary.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0 &&
        GiveName(pending);
    if (!named) {
        unlinkat(pending.iFolder, pending.strTemporary.c_str(), 0);
    }
    flock(pending.iFolder, LOCK_UN);
    return named;
}

void DiscardPendingFile() {
    const SPending pending = GetPending();
    GetPending() = SPending();
    if (pending.strTemporary.empty()) {
        return;
    }
    unlinkat(pending.iFolder, pending.strTemporary.c_str(), 0);
    if (pending.iFolder != AT_FDCWD) {
        flock(pending.iFolder, LOCK_UN);
    }
}

void ForgetAwaitedFile(const std::string& path) {
    _hlp::Require(!path.empty());
    const SFilePlace place = LocateFile(path);
    const timespec times[2] = {{0, UTIME_NOW}, {0, UTIME_OMIT}};
    utimensat(place.iFolder, place.strName.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

} // namespace _sys
