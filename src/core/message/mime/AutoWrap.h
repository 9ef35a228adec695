#pragma once
// Breaking of long received lines into lines of about 76 columns, with the
// editor's four line-breaking sets: characters that may not end a line
// ("oida") and characters that may hang past the limit ("bura"), each for
// single-byte (ANK) and double-width (DBCS) characters.

#include <string>
#include <string_view>
#include <vector>

namespace corvina {

class CodePage;
class MailMessage;

// Each set is a string of characters in the working code page.
struct LineBreakSets {
    std::string dbcsOida;
    std::string ankOida;
    std::string dbcsBura;
    std::string ankBura;

    // The built-in sets for `cp` (the Japanese additions on 932 and UTF-8;
    // single-byte pages get only the ASCII characters).
    static LineBreakSets Defaults(const CodePage& cp);
};

// Whether the character `ch` (one character of `cp`) is listed in `set`.
bool SetHoldsChar(std::string_view set, std::string_view ch, const CodePage& cp);

// Splits `line` (with or without its final LF) into pieces, each ending in
// LF. A tab advances to the next multiple of 8; a double-width character
// counts 2 columns.
std::vector<std::string> AutoWrapLine(std::string_view line, const LineBreakSets& sets,
                                      const CodePage& cp);

// Appends the pieces of `line` to the message's body lines.
void AutoWrapLine(MailMessage& message, std::string_view line, const LineBreakSets& sets,
                  const CodePage& cp);

}  // namespace corvina
