#pragma once
// Character conversions of one line of the code page: letter case and
// character width ("Convert"). Characters are mapped through their Unicode
// scalar values and written back in the same page; a character whose
// mapped form the page cannot hold stays as it is.

#include <string>
#include <string_view>

#include "editor/EditorDialogs.h"

namespace corvina {

class CodePage;

std::string ConvertCase(std::string_view line, CaseConversion conversion, const CodePage& codePage);

// The half-width form (U+FF61-U+FF9F) of a full-width katakana or
// Japanese punctuation mark, 0 when it has none; *mark receives the
// half-width voiced or semi-voiced mark that follows it ("ガ" is "ｶ" and
// "ﾞ"), or 0.
char32_t HalfWidthKana(char32_t full, char32_t* mark);

std::string ConvertWidth(std::string_view line, WidthConversion conversion,
                         const CodePage& codePage);

}  // namespace corvina
