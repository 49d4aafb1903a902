// What the plug-in tells its launcher once the file is published: this byte on this descriptor, the read end
// of a pipe. Anything else, or the pipe's end, means that nothing is to be started.
#ifndef QUENFIELD_PLATFORM_LINUX_LAUNCHGOAHEAD_H
#define QUENFIELD_PLATFORM_LINUX_LAUNCHGOAHEAD_H

const int iGO_AHEAD_DESCRIPTOR = 3;
const char cGO_AHEAD = 'g';

#endif
