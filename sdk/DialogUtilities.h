// The version alert and the small utilities behind it: placeholder substitution, number text, bounded
// length-prefixed strings and the placement of dialogs on the main screen.
#ifndef QUENFIELD_SDK_DIALOGUTILITIES_H
#define QUENFIELD_SDK_DIALOGUTILITIES_H

#include "platform/Toolbox.h"

#include <cstdint>

// The version alert and its message.
constexpr int16_t sALERT_VERSION = 16990;
constexpr int16_t sSTRING_VERSION_MESSAGE = 16992;

// Shows caution alert alertResource with the text of string messageResource, "^1" and "^2" replaced by the
// two texts (either may be null). The item the user closed it with; 0 when alertResource is 0. window is
// not used.
int16_t ShowVersionAlert(WindowRef window, int16_t alertResource, int16_t messageResource,
                         ConstStr255Param versionText1, ConstStr255Param versionText2);

// Replaces "^0", "^1" and "^2" in text (a Str255), in place; a null or empty parameter inserts nothing. The
// result keeps at most 254 characters.
void PIParamText(unsigned char* text, ConstStr255Param param0, ConstStr255Param param1,
                 ConstStr255Param param2);

// value as decimal text with up to precision digits after the point, at least one. The digits are cut from
// the floating-point value, so the rounding does not always show: 2.75 at precision 1 gives 2.7.
void DoubleToString(unsigned char* text, double value, int16_t precision);

// base multiplied into 1.0 exponent times; an exponent of 0 or less gives 1.0.
double power(double base, int16_t exponent);

// Appends count characters of source from its character start on (numbered from 1) to text; only characters
// source holds are taken, and text keeps at most 254 characters, followed by a zero byte.
void AppendString(unsigned char* text, ConstStr255Param source, int16_t start, int16_t count);

// Empties text; null is ignored.
void PIResetString(unsigned char* text);

// Moves the bounds at the start of a dialog or alert template so that the window stands centred across the
// main screen and a third of the free height below a 20-pixel band at its top.
void CenterDialog(DialogTHndl dlgTemplate);

#endif
