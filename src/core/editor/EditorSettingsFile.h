#pragma once
// Reading the editor's settings file (sections Settings, Options, Colors,
// Others, Fonts) into EditorOptions, and the built-in character sets of
// the line breaking rules.

#include <filesystem>

#include "editor/EditorOptions.h"

namespace corvina {

// Fills `out` from the settings file; every key that is missing takes its
// default, an unparsable number reads as 0, and an empty or missing value
// in section Others takes the built-in set of `codePage`. The font
// defaults depend on `codePage` (932 or not); the text and print fonts are
// read only when `out` does not name one yet (the mail client's font
// preferences come first). A missing file gives the defaults and true;
// false when the file exists but cannot be read (`out` then holds the
// defaults too).
bool LoadEditorOptions(const std::filesystem::path& settingsFile, int codePage, EditorOptions& out);

// The built-in sets in code page `codePage`: the half-width katakana
// additions only on 932; characters a code page cannot hold are left out.
KinsokuSets BuiltInKinsokuSets(int codePage);

}  // namespace corvina
