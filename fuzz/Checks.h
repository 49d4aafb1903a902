// The fuzzer's invariants end the process with abort() and a message, so that libFuzzer (or the corpus
// replay) reports the input.
#ifndef QUENFIELD_FUZZ_CHECKS_H
#define QUENFIELD_FUZZ_CHECKS_H

#include <set>
#include <string>

namespace fuzz {

void Require(bool ok, const std::string& what);

// Names in a folder, "." and ".." left out; empty for a missing folder.
std::set<std::string> FolderNames(const std::string& folder);

bool IsRegularFile(const std::string& path);
bool IsFolder(const std::string& path);

} // namespace fuzz

#endif
