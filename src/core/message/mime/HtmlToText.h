#pragma once
// A readable text rendering of an HTML part, for a message whose only text
// is HTML: paragraphs and headings set off by blank lines, <br> as a line
// break, lists with "* " and "1. ", tables as rows of cells joined by
// " | ", quotations with "> ", links as "text <url>" (web, mail and ftp
// addresses only), images by their alt text. Scripts, styles and the head
// are dropped and nothing is ever fetched: the document is parsed from
// memory with the network switched off.

#include <string>
#include <string_view>
#include <vector>

namespace corvina {

class CodePage;

// Lines are wrapped at spaces to this many columns where the text allows.
inline constexpr int kHtmlTextColumns = 76;

// The lines of the rendering, in the code page `cp`. `charset` is the
// part's declared charset; without one the document's own <meta> label
// (or else UTF-8, falling back to ISO-8859-1) is used. Survives any bytes;
// an empty or unreadable document gives no lines.
std::vector<std::string> HtmlToText(std::string_view html, std::string_view charset,
                                    const CodePage& cp, int columns = kHtmlTextColumns);

}  // namespace corvina
