#include "message/mime/MimeTypeTable.h"

#include <gtest/gtest.h>

namespace corvina {
namespace {

TEST(MimeTypeTable, BuiltInRowsLookUpByTypeIgnoringCase) {
    MimeTypeTable table;
    const MimeTypeEntry* jpeg = table.FindByType("IMAGE", "Jpeg");
    ASSERT_NE(jpeg, nullptr);
    EXPECT_EQ(jpeg->extensions, (std::vector<std::string>{"jpg", "jpeg", "jpe"}));
    EXPECT_EQ(jpeg->PreferredExtension(), "jpg");
    EXPECT_EQ(jpeg->action, MimeAction::Default);
    EXPECT_TRUE(jpeg->application.empty());
    ASSERT_NE(table.FindByType("image", "x-ms-bmp"), nullptr);
    EXPECT_EQ(table.FindByType("text", "enriched"), nullptr);
    EXPECT_EQ(table.Rows().size(), 21u);
}

TEST(MimeTypeTable, ExtensionLookupFallsBackToOctetStream) {
    MimeTypeTable table;
    EXPECT_EQ(table.FindByExtension("HTM").subtype, "html");
    EXPECT_EQ(table.FindByFileName("/x/Attach/movie.mov").subtype, "quicktime");
    EXPECT_EQ(table.FindByFileName("message.eml").type, "message");
    const MimeTypeEntry& unknown = table.FindByFileName("archive.tar.xz");
    EXPECT_EQ(unknown.type, "application");
    EXPECT_EQ(unknown.subtype, "octet-stream");
    EXPECT_TRUE(unknown.application.empty());
    EXPECT_EQ(table.FindByFileName("no-extension").subtype, "octet-stream");
    // A dot in the directory part is not an extension.
    EXPECT_EQ(table.FindByFileName("/a.gif/file").subtype, "octet-stream");
}

TEST(MimeTypeTable, StoredRowReplacesBuiltInAndNewRowsAreAppended) {
    MimeTypeTable table;
    table.ApplyRow("Image/JPEG", "/usr/bin/viewer", ".jpeg.jpg", 2);
    const MimeTypeEntry* jpeg = table.FindByType("image", "jpeg");
    ASSERT_NE(jpeg, nullptr);
    EXPECT_EQ(jpeg->application, "/usr/bin/viewer");
    EXPECT_EQ(jpeg->PreferredExtension(), "jpeg");
    EXPECT_EQ(jpeg->action, MimeAction::Launch);
    EXPECT_EQ(table.Rows().size(), 21u);

    table.ApplyRow("application/pdf", "", ".pdf", 1);
    ASSERT_EQ(table.Rows().size(), 22u);
    EXPECT_EQ(table.FindByExtension("pdf").action, MimeAction::Save);
    // Out-of-range action numbers read as Default; malformed keys are ignored.
    table.ApplyRow("application/x-odd", "", ".odd", 7);
    EXPECT_EQ(table.FindByExtension("odd").action, MimeAction::Default);
    table.ApplyRow("noslash", "", ".zzz", 0);
    table.ApplyRow("/sub", "", ".zzz", 0);
    EXPECT_EQ(table.FindByExtension("zzz").subtype, "octet-stream");
}

TEST(MimeTypeTable, ExtensionTextRoundTrips) {
    auto exts = MimeTypeTable::SplitExtensionText(".jpg.jpeg.jpe");
    EXPECT_EQ(exts, (std::vector<std::string>{"jpg", "jpeg", "jpe"}));
    EXPECT_EQ(MimeTypeTable::JoinExtensions(exts), ".jpg.jpeg.jpe");
    EXPECT_EQ(MimeTypeTable::SplitExtensionText("..txt.").size(), 1u);
    EXPECT_TRUE(MimeTypeTable::SplitExtensionText("").empty());
}

}  // namespace
}  // namespace corvina

#include "platform/ConfigStore.h"

namespace corvina {
namespace {

TEST(MimeTypeTable, LoadsRowsFromConfigStore) {
    ConfigStore store;
    store.LoadFromText(
        "[MimeType\\image/gif]\nApp=/usr/bin/gifview\nExt=.gif.giff\nAct=2\n"
        "[MimeType\\application/pdf]\nExt=.pdf\nAct=1\n"
        "[Settings]\nAutoWrap=1\n");
    MimeTypeTable table;
    table.ApplyRow("text/x-old", "", ".old", 0);  // reloading forgets earlier rows
    table.LoadFromConfig(store);
    EXPECT_EQ(table.Rows().size(), 22u);
    const MimeTypeEntry* gif = table.FindByType("image", "gif");
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(gif->application, "/usr/bin/gifview");
    EXPECT_EQ(gif->action, MimeAction::Launch);
    EXPECT_EQ(table.FindByExtension("giff").subtype, "gif");
    EXPECT_EQ(table.FindByExtension("pdf").action, MimeAction::Save);
    EXPECT_EQ(table.FindByType("text", "x-old"), nullptr);
}

}  // namespace
}  // namespace corvina
