// Access to the host's named suites.
#ifndef QUENFIELD_HOSTSDK_HOSTSUITES_H
#define QUENFIELD_HOSTSDK_HOSTSUITES_H

#include "ExportInterface.h"

// The host's basic suite, as handed over by the latest call; null until the first call.
extern SPBasicSuite* sSPBasic;

#endif
