#include "message/mime/HtmlNodes.h"

#include <algorithm>

#include "common/Bytes.h"

namespace corvina::html {

namespace {

struct TagKind {
    std::string_view name;
    Kind kind;
};

constexpr TagKind kTags[] = {
    {"script", Kind::Skip},
    {"style", Kind::Skip},
    {"head", Kind::Skip},
    {"title", Kind::Skip},
    {"template", Kind::Skip},
    {"noscript", Kind::Skip},
    {"iframe", Kind::Skip},
    {"object", Kind::Skip},
    {"embed", Kind::Skip},
    {"svg", Kind::Skip},
    {"input", Kind::Skip},
    {"select", Kind::Skip},
    {"audio", Kind::Skip},
    {"video", Kind::Skip},
    {"map", Kind::Skip},
    {"p", Kind::Paragraph},
    {"dl", Kind::Paragraph},
    {"figure", Kind::Paragraph},
    {"address", Kind::Paragraph},
    {"div", Kind::Block},
    {"section", Kind::Block},
    {"article", Kind::Block},
    {"header", Kind::Block},
    {"footer", Kind::Block},
    {"main", Kind::Block},
    {"nav", Kind::Block},
    {"aside", Kind::Block},
    {"center", Kind::Block},
    {"form", Kind::Block},
    {"fieldset", Kind::Block},
    {"figcaption", Kind::Block},
    {"caption", Kind::Block},
    {"details", Kind::Block},
    {"summary", Kind::Block},
    {"dt", Kind::Block},
    {"thead", Kind::Block},
    {"tbody", Kind::Block},
    {"tfoot", Kind::Block},
    {"td", Kind::Block},
    {"th", Kind::Block},
    {"h1", Kind::Heading},
    {"h2", Kind::Heading},
    {"h3", Kind::Heading},
    {"h4", Kind::Heading},
    {"h5", Kind::Heading},
    {"h6", Kind::Heading},
    {"ul", Kind::List},
    {"ol", Kind::List},
    {"menu", Kind::List},
    {"li", Kind::Item},
    {"blockquote", Kind::Quote},
    {"pre", Kind::Pre},
    {"xmp", Kind::Pre},
    {"listing", Kind::Pre},
    {"plaintext", Kind::Pre},
    {"br", Kind::Break},
    {"hr", Kind::Rule},
    {"table", Kind::Table},
    {"tr", Kind::Row},
    {"img", Kind::Image},
    {"a", Kind::Link},
    {"dd", Kind::Definition},
};

}  // namespace

std::string_view NameOf(const xmlNode* node) {
    return node->name ? std::string_view(reinterpret_cast<const char*>(node->name))
                      : std::string_view();
}

Kind KindOf(const xmlNode* node) {
    const std::string_view name = NameOf(node);
    for (const TagKind& tag : kTags) {
        if (EqualNoCase(tag.name, name)) {
            return tag.kind;
        }
    }
    return Kind::Inline;
}

std::string Attribute(const xmlNode* node, const char* name) {
    for (const xmlAttr* a = node->properties; a; a = a->next) {
        if (a->name && EqualNoCase(reinterpret_cast<const char*>(a->name), name)) {
            std::string value;
            for (const xmlNode* t = a->children; t; t = t->next) {
                if (t->content) {
                    value += reinterpret_cast<const char*>(t->content);
                }
            }
            return value;
        }
    }
    return {};
}

bool HasAttribute(const xmlNode* node, const char* name) {
    for (const xmlAttr* a = node->properties; a; a = a->next) {
        if (a->name && EqualNoCase(reinterpret_cast<const char*>(a->name), name)) {
            return true;
        }
    }
    return false;
}

bool IsHidden(const xmlNode* node) {
    if (HasAttribute(node, "hidden")) {
        return true;
    }
    std::string style = Attribute(node, "style");
    style.erase(std::remove_if(style.begin(), style.end(), [](char c) { return IsAsciiSpace(c); }),
                style.end());
    std::string lower(style.size(), ' ');
    std::transform(style.begin(), style.end(), lower.begin(), AsciiLower);
    return lower.find("display:none") != std::string::npos ||
           lower.find("mso-hide:all") != std::string::npos;
}

bool IsOutlookLine(const xmlNode* node) {
    return Attribute(node, "class").find("MsoNormal") != std::string::npos;
}

std::string FollowableUrl(std::string_view href) {
    std::string url;
    for (char c : href) {
        if (static_cast<unsigned char>(c) > ' ') {
            url += c;
        }
    }
    for (std::string_view scheme : {"http://", "https://", "mailto:", "ftp://"}) {
        if (url.size() > scheme.size() && EqualNoCase(url.substr(0, scheme.size()), scheme)) {
            return url;
        }
    }
    return {};
}

std::string_view BareAddress(std::string_view url) {
    for (std::string_view scheme : {"http://", "https://", "mailto:", "ftp://"}) {
        if (url.size() >= scheme.size() && EqualNoCase(url.substr(0, scheme.size()), scheme)) {
            url.remove_prefix(scheme.size());
            break;
        }
    }
    while (!url.empty() && url.back() == '/') {
        url.remove_suffix(1);
    }
    return url;
}

}  // namespace corvina::html
