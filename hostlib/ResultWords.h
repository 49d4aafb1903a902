// An export's end in the words the hosts show it in: the reference host's line and an editor's message, made
// here once so that the reference host, the GIMP bridge and the Python module say the same.
#ifndef QUENFIELD_HOST_RESULTWORDS_H
#define QUENFIELD_HOST_RESULTWORDS_H

#include "Document.h"
#include "ExportSession.h"

#include <cstdint>
#include <exception>
#include <filesystem>
#include <string>

namespace host {

enum class ExportEnd {
    Exported, // written and handed to the companion
    Kept,     // written, but the companion did not start: the file stays
    Failed,   // no file
};

struct ResultWords {
    ExportEnd end = ExportEnd::Failed;
    int16_t result = 0;         // the export's result code; 0 when it could not run
    std::string words;          // the reference host's line, after its "<image>: "
    std::string editorMessage;  // what an editor shows; empty when it shows nothing
    std::filesystem::path file; // the export file, when one was found
};

// The words for a finished export of the document. Failed and kept exports are named by the document's name.
ResultWords DescribeExport(const DocumentInfo& document, const ExportOutcome& outcome);

// What a user can do about an export that could not run for this reason, where a host knows; empty otherwise.
std::string WhatToDo(const std::exception& why);

// The words for an export that could not run at all.
ResultWords DescribeUnrun(const std::string& name, const std::exception& why);

} // namespace host

#endif
