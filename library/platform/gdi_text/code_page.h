// The library's code page: how the multibyte text of strings, records and face names is read.
//
// Text arrives as 8-bit multibyte bytes. By default they are UTF-8 (code page 65001). Hosts
// and stored records written for a Japanese Windows system use Shift-JIS (code page 932);
// such hosts select it once, before drawing, either with the environment variable
// ZORVIK_CODEPAGE=932 (read on first use; "65001" or "utf-8" select UTF-8) or with
// zk::set_code_page(932). Every count of characters, every face-name comparison and every
// text drawn follows the current code page, so a record stored under one code page must be
// read under the same one.
//
// Shift-JIS here is Windows' code page 932 (with the NEC and IBM extensions), decoded through
// tables built once from the system's iconv. Bytes that do not form a character count as one
// character each and draw as the font's missing glyph, so no input can make the decoder read
// past the end of the text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/zorvik_api.h"

namespace zk {

constexpr unsigned kCodePageShiftJis = 932;
constexpr unsigned kCodePageUtf8 = 65001;

// The current code page: 932 or 65001.
ZORVIK_API unsigned code_page();
// Selects 932 or 65001; any other number is refused (false) and changes nothing.
ZORVIK_API bool set_code_page(unsigned cp);

// One character of multibyte text.
struct MbChar {
    char32_t code;        // Unicode scalar value; U+FFFD for bytes that form no character
    std::uint32_t offset; // first byte in the text
    std::uint8_t length;  // bytes taken
    bool wide;            // a double-byte (full-width) character as code page 932 counts them
};

std::vector<MbChar> decode_text(std::string_view text, unsigned cp);
inline std::vector<MbChar> decode_text(std::string_view text) { return decode_text(text, code_page()); }

// Characters as the code page counts them: a Shift-JIS lead byte and its trail byte are one.
int count_characters(std::string_view text, unsigned cp);
inline int count_characters(std::string_view text) { return count_characters(text, code_page()); }

// Conversions between the code page and UTF-8. from_utf8 fails when a character has no
// spelling in the code page.
std::string to_utf8(std::string_view text, unsigned cp);
bool from_utf8(std::string_view utf8, unsigned cp, std::string& out);

// Whether a character is a double-byte character of code page 932, or, for characters that
// code page cannot spell, an East Asian wide character. Vertical writing stands these upright.
bool is_wide_character(char32_t c);

// The library's default face, "ＭＳ ゴシック", spelled in the current code page.
ZORVIK_API std::string default_face_name();

// UTF-8 encoding of one scalar value, appended.
void append_utf8(std::string& out, char32_t c);

} // namespace zk
