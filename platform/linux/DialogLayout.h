// Where a dialog is drawn when the screen differs from the one it was laid out for, and how points on the
// drawing map back to the dialog's own coordinates. Shared by the terminal and the window displays.
#ifndef QUENFIELD_PLATFORM_LINUX_DIALOGLAYOUT_H
#define QUENFIELD_PLATFORM_LINUX_DIALOGLAYOUT_H

#include "platform/Display.h"

#include <string>

// The top-left corner of a content of this size placed as CenterDialog places templates: centred across,
// a third of the free space above (after 20 pixels for a menu bar).
Point CentredOrigin(int width, int height, const Rect& screen);

// The view moved by shift, then kept on the screen together with its frame (frame holds how far title bar
// and borders reach beyond the content on each side). Its left and top edges never leave the screen; a
// content larger than the screen is cut to it, with its buttons moved inside so that they stay usable.
SDialogView FitView(const SDialogView& view, Point shift, const Rect& screen, const Rect& frame);

// A point on the fitted view as the dialog sees it: inside a fitted item, the same place in the item (held
// inside it); else the point moved back as the content was moved.
Point UnfitPoint(const SDialogView& view, const SDialogView& fitted, Point where);

// Whether two views look alike apart from where they stand.
bool SameLook(const SDialogView& a, const SDialogView& b);

bool PointInRect(Point point, const Rect& rect);
bool SameRect(const Rect& a, const Rect& b);

// A pixel coordinate held to what a Rect or Point can carry.
int16_t I16(int value);

// Dialog texts as UTF-8: valid UTF-8 stays, any other byte is read as Latin-1, the encoding of older
// document names.
std::string ToUtf8(const std::string& text);

#endif
