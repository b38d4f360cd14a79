// Code page 437 and Unicode: the one table between the text screen's character codes and the desktop's text.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The character each code page 437 code shows, as a Unicode code point. Codes 1 to 31 and
// 127 show symbols (smileys, arrows, a house), 176 to 223 the box and block glyphs; code 0
// shows a blank and reads as a space, 255 as a no-break space.
extern const char32_t code_page_437[256];

// The code page 437 code that shows `code_point`, or -1 when none does. Only codes a key
// can produce are given: printable ASCII and 128 to 255, never the control range.
int32_t code_page_437_from_unicode(char32_t code_point);

// Appends one code point to UTF-8 text.
void append_utf8(std::string* out, char32_t code_point);

// The text of `count` code page 437 codes as UTF-8.
std::string code_page_437_to_utf8(const uint8_t* codes, size_t count);

// The code points of UTF-8 text; a byte that starts no valid sequence stands for itself
// (read as Latin-1), so broken text loses nothing.
std::vector<char32_t> utf8_code_points(const std::string& text);

// A typed character as the toolkit delivers it (Latin-1, 0 to 255) as the key code the
// text screen needs: ASCII unchanged, 128 to 255 translated to code page 437, -1 when the
// character has no form there.
int32_t key_code_from_latin1(int32_t latin1);
