// Text broken into lines between words, for the dialogs' static text in cells or in pixels.
#ifndef QUENFIELD_PLATFORM_LINUX_WORDWRAP_H
#define QUENFIELD_PLATFORM_LINUX_WORDWRAP_H

#include <functional>
#include <string>
#include <vector>

// Breaks text at spaces into lines for which fits is true; line breaks ("\n" or "\r") end a line. A word that
// does not fit a line of its own is cut where the line ends, never inside a UTF-8 character.
std::vector<std::string> WrapWords(const std::string& text,
                                   const std::function<bool(const std::string&)>& fits);

#endif
