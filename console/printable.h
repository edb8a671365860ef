// Text that the user gave (a file name, an argument) made safe to print in a message. A name may
// hold any byte but the separators: a newline in it would break a message in two, and an escape
// sequence would move the cursor or colour the terminal. Control bytes are written as C escapes
// instead; every other byte, UTF-8 or a Windows code page's letters alike, stays as it is.
#pragma once

#include <string>
#include <string_view>

// `text` with each control byte (0x00 to 0x1F and 0x7F) written as a C escape: \t, \n, \r and the
// other named ones, or \x followed by two lower-case hexadecimal digits (ESC is \x1b). A backslash
// stays as it is, since Windows paths are full of them.
std::string printable(std::string_view text);
