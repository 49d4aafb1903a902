// Inside the Linux platform layer: the display of the dialog running now.
#ifndef QUENFIELD_PLATFORM_LINUX_DIALOGS_H
#define QUENFIELD_PLATFORM_LINUX_DIALOGS_H

#include "platform/Display.h"

// The display of the ModalDialog running now, or null.
IDisplay* ModalDisplay();

#endif
