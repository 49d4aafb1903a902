// Screen geometry and number text.
#ifndef QUENFIELD_PLATFORM_SCREEN_H
#define QUENFIELD_PLATFORM_SCREEN_H

#include "platform/Toolbox.h"

GDHandle GetMainDevice();
// The desktop: the whole main screen.
RgnHandle GetGrayRgn();
void GetRegionBounds(RgnHandle region, Rect* bounds);
void OffsetRect(Rect* rect, int16_t dh, int16_t dv);
void InsetRect(Rect* rect, int16_t dh, int16_t dv);
// Decimal text; 64-bit so that every unsigned 32-bit count prints as it is.
void NumToString(int64_t number, StringPtr text);

#endif
