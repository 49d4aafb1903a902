/* Compiled as C11 with warnings as errors: the interface header must stand alone in C. */
#include "ExportInterface.h"

int header_check_c(void) {
    ExportRecord record = {0};
    return (int)sizeof(record) + (int)sizeof(AboutRecord) + exportSelectorPrepare;
}
