// The export runs in a child process of the bridge, fed the image's rows through a pipe. GIMP ends a plug-in
// whose progress was cancelled outright (it asks it to quit and kills it 10 ms later), which leaves no time
// for the plug-in's own clean-up; the child outlives the bridge, finds its rows ended early, answers the
// plug-in's abort poll, and the plug-in ends with its cancel code and removes its unfinished file.
#ifndef QUENFIELD_GIMP_EXPORTWORKER_H
#define QUENFIELD_GIMP_EXPORTWORKER_H

#include "Document.h"
#include "ExportSession.h"
#include "PluginLibrary.h"

#include <functional>

namespace gimpbridge {

// Sends the document's rows from the top to a child that runs the export, reporting each row sent, and
// returns the child's outcome. Throws std::runtime_error when the child cannot run the export or dies.
host::ExportOutcome ExportInWorker(host::PluginLibrary& plugin, host::RowSource& document,
                                   const std::function<void(int32_t sent, int32_t total)>& progress);

} // namespace gimpbridge

#endif
