#pragma once
// What the HTML renderer asks of a parsed element: what kind of block or
// inline it is, its attributes, whether a browser would hide it, and the
// link targets a reader may follow.

#include <libxml/tree.h>

#include <string>
#include <string_view>

namespace corvina::html {

enum class Kind {
    Inline,
    Skip,       // never shown: scripts, styles, the head, form controls
    Block,      // its own lines
    Paragraph,  // its own lines with blank lines around
    Heading,
    List,
    Item,
    Quote,
    Pre,
    Break,
    Rule,
    Table,
    Row,
    Image,
    Link,
    Definition,
};

std::string_view NameOf(const xmlNode* node);
Kind KindOf(const xmlNode* node);
// An attribute's value, or "" when it is missing.
std::string Attribute(const xmlNode* node, const char* name);
bool HasAttribute(const xmlNode* node, const char* name);
// Newsletters hide their preview text (and Outlook its own extras) with
// "display:none", "mso-hide:all" or "hidden"; a browser would not show it
// either.
bool IsHidden(const xmlNode* node);
// Outlook writes each line as a paragraph without margins ("MsoNormal")
// and an empty line as such a paragraph holding only a no-break space.
bool IsOutlookLine(const xmlNode* node);
// The link target when it is one a reader may follow: web, mail and ftp
// addresses, blanks and control characters taken out; "" otherwise.
std::string FollowableUrl(std::string_view href);
// The address without its scheme and a closing "/", for telling whether a
// link's text already is its address.
std::string_view BareAddress(std::string_view url);

}  // namespace corvina::html
