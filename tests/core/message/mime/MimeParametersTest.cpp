#include "message/mime/MimeParameters.h"

#include <gtest/gtest.h>

namespace corvina {
namespace {

TEST(MimeParameters, ContentTypeSplitsTypeAndSubtype) {
    MimeTypeName t = ParseContentTypeValue(" multipart/mixed; boundary=x");
    EXPECT_EQ(t.type, "multipart");
    EXPECT_EQ(t.subtype, "mixed");
    t = ParseContentTypeValue("text/plain\tcharset=us-ascii");
    EXPECT_EQ(t.subtype, "plain");
    t = ParseContentTypeValue("text");
    EXPECT_EQ(t.type, "text");
    EXPECT_EQ(t.subtype, "");
}

TEST(MimeParameters, BoundaryQuotedOrBare) {
    EXPECT_EQ(FindBoundary("multipart/mixed; BOUNDARY=\"a b;c\""), "a b;c");
    EXPECT_EQ(FindBoundary("multipart/mixed; boundary=  abc ; x=y"), "abc");
    EXPECT_EQ(FindBoundary("multipart/mixed;boundary=abc"), "abc");
    EXPECT_FALSE(FindBoundary("multipart/mixed; xboundary=abc").has_value());
    EXPECT_FALSE(FindBoundary("multipart/mixed").has_value());
}

TEST(MimeParameters, CharsetLosesBlanksAndQuotes) {
    EXPECT_EQ(FindCharset("text/plain; Charset = \"ISO-2022-JP\""), "ISO-2022-JP");
    EXPECT_EQ(FindCharset("text/plain; format=flowed; charset=utf-8"), "utf-8");
    EXPECT_FALSE(FindCharset("text/plain; format=flowed").has_value());
}

TEST(MimeParameters, ToleratesBrokenValues) {
    // Unterminated quote runs to the end; bare words and empty names are skipped.
    EXPECT_EQ(FindParameter("a/b; name=\"unterminated", "name"), "unterminated");
    EXPECT_EQ(FindParameter("a/b; junk; =x; name=ok", "name"), "ok");
    EXPECT_EQ(FindParameter("a/b; name=\"q\\\"uote\"", "name"), "q\"uote");
    EXPECT_FALSE(FindParameter("a/b; filename=x", "name").has_value());
    EXPECT_TRUE(ParseParameters(";;;;").empty());
    EXPECT_TRUE(ParseParameters("").empty());
}

TEST(MimeParameters, ExtendedFormWinsOverPlain) {
    auto p = FindExtendedParameter(
        "attachment; filename=\"fallback.txt\"; filename*=UTF-8''na%C3%AFve%20file.txt",
        "filename");
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->charset, "UTF-8");
    EXPECT_EQ(p->bytes, "na\xC3\xAFve file.txt");

    // Order does not matter.
    p = FindExtendedParameter("attachment; filename*=iso-8859-1'en'%E9t%E9.doc; filename=x.doc",
                              "filename");
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->charset, "iso-8859-1");
    EXPECT_EQ(p->bytes, "\xE9t\xE9.doc");

    p = FindExtendedParameter("attachment; filename=\"plain.txt\"", "filename");
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->bytes, "plain.txt");
    EXPECT_TRUE(p->charset.empty());
    EXPECT_FALSE(FindExtendedParameter("attachment", "filename").has_value());
}

TEST(MimeParameters, ContinuationsJoinInNumberOrder) {
    auto p = FindExtendedParameter(
        "application/x-stuff; name*1=\"part two \"; name*0=\"part one, \"; name*2=end", "name");
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->bytes, "part one, part two end");

    // Mixed encoded and plain sections; the charset comes from section 0.
    p = FindExtendedParameter(
        "a/b; title*0*=us-ascii'en'This%20is%20; title*1*=%2A%2A%2Afun%2A%2A%2A%20; "
        "title*2=\"isn't it!\"",
        "title");
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->charset, "us-ascii");
    EXPECT_EQ(p->bytes, "This is ***fun*** isn't it!");

    // A gap ends the value; a broken %-escape stays as written.
    p = FindExtendedParameter("a/b; n*0=a; n*2=c; n*1*=%zz%4", "n");
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->bytes, "a%zz%4c");
    p = FindExtendedParameter("a/b; n*0=a; n*2=c", "n");
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->bytes, "a");
}

}  // namespace
}  // namespace corvina
