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

std::string ConvertWidth(std::string_view line, WidthConversion conversion,
                         const CodePage& codePage);

}  // namespace corvina
