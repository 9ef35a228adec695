#pragma once
// Character properties CodePage needs for measuring and classifying text,
// generated from the Unicode 14 character database.

namespace corvina::unicode {

// East Asian Wide or Full-width (two columns).
bool IsWide(char32_t cp);
// Combining marks, format characters and other characters that take no
// column of their own.
bool IsZeroWidth(char32_t cp);
// Columns a character takes: 0 if IsZeroWidth, else 2 if IsWide, else 1.
int Columns(char32_t cp);
// General category P* or S*.
bool IsPunctOrSymbol(char32_t cp);
// General category Zs.
bool IsSpaceSeparator(char32_t cp);

}  // namespace corvina::unicode
