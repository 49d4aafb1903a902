// The export file is never seen half-written under its own name: in the checked folder (CheckedFolder.h) it
// is written under an exclusive temporary name beside it and renamed once it is complete and closed.
#ifndef QUENFIELD_PLATFORM_PENDINGFILE_H
#define QUENFIELD_PLATFORM_PENDINGFILE_H

#include <string>

namespace _sys {

// Opens a new file, write-only and of mode 0600, for what path is to hold. In the checked folder it is made
// under a temporary name of its own while the folder is held against emptying by other exports (waiting at
// most 5 s for one that is emptying it); elsewhere it is path itself, made as OpenFile makes it. fd is -1 on
// failure.
bool CreatePendingFile(int& fd, const std::string& path);
// After the file was closed: gives it the name path of CreatePendingFile and marks it as awaited by its
// companion. An awaited file of that name from another export is not replaced before its companion has
// opened it, for at most 10 s. True when the file has its name.
bool PublishPendingFile();
// Removes the pending file, whichever name it has not yet been given up for.
void DiscardPendingFile();
// The published file at path is no longer awaited (its companion was not started): the next export's
// emptying removes it.
void ForgetAwaitedFile(const std::string& path);

} // namespace _sys

#endif
