#pragma once
// The automatic line split: a paragraph broken anew at the split column by
// the rules of Japanese line breaking (characters that may not end a line
// move to the next one, closing punctuation may hang past the column) with
// a short word wrap for words of the Latin and other spaced scripts. Pure
// functions over bytes of the working code page; the editor applies the
// result to its lines.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "editor/EditorOptions.h"

namespace corvina {

class CodePage;

struct LineBreakRules {
    const CodePage* codePage;
    int splitColumn;  // AutoSplitCol
    int tabWidth;
    const KinsokuSets* sets;
};

struct BrokenParagraph {
    std::vector<std::string> lines;
    std::size_t caretLine = 0;
    std::size_t caretOffset = 0;
};

// `paragraph`: the paragraph's lines each ending in LF, joined; `caret`: a
// byte offset into it. The lines (without LF) broken anew by the rules,
// and where the caret lands (always at a character start; a caret on a
// character that the breaking drops lands where the next kept character
// goes). The line ends inside the paragraph go, with a space where words
// meet; a break drops only such a space, so no text is glued together
// and breaking an already broken paragraph gives the same lines. A space
// typed at the limit at the paragraph's end leaves an empty last line for
// the caret.
BrokenParagraph BreakParagraph(std::string_view paragraph, std::size_t caret,
                               const LineBreakRules& rules);

// Whether typing `character` (its bytes) with the caret at `column`
// triggers the split: an opening character near the limit, a space at the
// limit (it ends the line), or any character at the limit that may not
// hang there.
bool SplitTriggeredBy(std::string_view character, int column, const LineBreakRules& rules);

}  // namespace corvina
