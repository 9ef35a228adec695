#pragma once
// The paragraph commands of the editor ("EditConvert", "EditSort",
// "EditLeft", "EditRight", "EditCenter", "Indent", "BackInd", "AddString")
// as pure functions: they take the selected lines (text of the code page,
// without line ends) and return the lines that replace them. The view
// commands put the result back as one undo step.

#include <string>
#include <vector>

#include "editor/EditorDialogs.h"

namespace corvina {

class CodePage;

// Case, tab and space, and character-width conversion, applied in that
// order. Case: ASCII letters on every page, the full-width Latin letters
// on Shift_JIS, the letters of every script on UTF-8 and the letters a
// single-byte page holds (Unicode simple case mapping). Width: full-width
// ASCII and the ideographic space against ASCII, full-width katakana
// against half-width katakana with the voiced marks split off or joined;
// a character the page cannot hold in the other width stays as it is.
std::vector<std::string> ConvertLines(const std::vector<std::string>& lines,
                                      const ConvertChoice& choice, const CodePage& codePage,
                                      int tabWidth);

// Sorts stably by the bytes of the code page, or by their case-folded key.
// continued[i] says that line i goes on in line i+1 (the automatic split);
// unless choice.sortLines, such a paragraph moves as a whole and is
// ordered by its whole text. A missing continued entry counts as false.
std::vector<std::string> SortLines(const std::vector<std::string>& lines,
                                   const std::vector<bool>& continued, const SortChoice& choice,
                                   const CodePage& codePage);

enum class LineAlignment { kLeft, kRight, kCenter };

// Left strips the leading blanks (spaces, TABs). Right and centre strip
// the blanks on both sides and pad with spaces so that the text ends at,
// or is centred within, `width` display columns; a line wider than that
// stays as it is, a blank line becomes empty.
std::vector<std::string> AlignLines(const std::vector<std::string>& lines, LineAlignment alignment,
                                    int width, const CodePage& codePage, int tabWidth);

// One indentation step at the start of each line that is not empty: a TAB,
// or with softTab as many spaces as a TAB would take there.
std::vector<std::string> IndentLines(const std::vector<std::string>& lines, bool softTab,
                                     int tabWidth);

// Takes one indentation step off each line: the leading blanks up to the
// first tab stop (one TAB, up to tabWidth spaces, or spaces ended by a TAB).
std::vector<std::string> UnindentLines(const std::vector<std::string>& lines, int tabWidth);

// Puts choice.text at the start or the end of every line.
std::vector<std::string> AddStringToLines(const std::vector<std::string>& lines,
                                          const AddStringChoice& choice);

}  // namespace corvina
