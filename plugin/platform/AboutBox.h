// The About box, shown for the About selector.
#ifndef QUENFIELD_PLATFORM_ABOUTBOX_H
#define QUENFIELD_PLATFORM_ABOUTBOX_H

#include "ExportInterface.h"

#include <cstdint>

// Shows the About box modally until it is closed; 0 when it returns.
int16_t ShowAboutDlg(AboutRecord* about);

#endif
