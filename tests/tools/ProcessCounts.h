// Open descriptors and threads of this process, to show what a call leaves behind.
#ifndef QUENFIELD_TESTS_PROCESSCOUNTS_H
#define QUENFIELD_TESTS_PROCESSCOUNTS_H

#include <dirent.h>

struct ProcessCounts {
    int fds;
    int threads;
};

inline int CountEntries(const char* folder) {
    int count = 0;
    if (DIR* dir = opendir(folder)) {
        while (const dirent* entry = readdir(dir)) {
            count += entry->d_name[0] != '.';
        }
        closedir(dir);
    }
    return count;
}

inline ProcessCounts CountProcess() {
    return ProcessCounts{CountEntries("/proc/self/fd"), CountEntries("/proc/self/task")};
}

#endif
