// The export run: target names, separators, order, per-message files,
// skipped targets, the dialog's enable rules and the stored settings. The
// files are read back as an outline of subjects, "From " lines and
// separators; the writer's own text is tested with the outgoing assembly.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "TestSupport.h"
#include "message/MailMessage.h"
#include "message/mime/OutgoingText.h"
#include "platform/ConfigStore.h"
#include "store/ExportRun.h"

namespace corvina {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

// The export file line by line, reduced to what the run decides: each
// message's subject, its "From " line and the separator lines, joined by
// ",".
std::string Outline(const std::filesystem::path& file, std::string_view separator = "-----") {
    const std::string text = ReadFileBytes(file);
    std::string out;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find("\r\n", pos);
        const std::string_view line = std::string_view(text).substr(pos, end - pos);
        pos = end == std::string::npos ? text.size() : end + 2;
        std::string_view shown;
        if (line.starts_with("Subject: "))
            shown = line.substr(9);
        else if (line.starts_with("From "))
            shown = "From";
        else if (line == separator)
            shown = line;
        else
            continue;
        out += out.empty() ? "" : ",";
        out += shown;
    }
    return out;
}

struct Selection {
    OutgoingOptions outgoing;
    std::vector<std::unique_ptr<MailMessage>> owned;
    std::vector<MailMessage*> list;
    explicit Selection(std::initializer_list<const char*> subjects) {
        for (const char* s : subjects) {
            owned.push_back(std::make_unique<MailMessage>(0));
            owned.back()->subject = s;
            owned.back()->bodyLoaded = true;
            list.push_back(owned.back().get());
        }
    }
};

TEST(ExportRun, SingleFileSeparatorsAndOrder) {
    ScratchDir dir;
    Selection sel{"a", "b", "c"};
    ExportSettings s;
    s.file = (dir / "out.txt").string();
    s.separator = "-----";
    s.useSeparator = 1;
    WriteFileBytes(dir / "out.txt", "old content\r\n");
    // Not threaded: last to first; the separator follows every message.
    EXPECT_EQ(RunExport(sel.list, s, false, sel.outgoing, nullptr), 3);
    const std::string once = ReadFileBytes(dir / "out.txt");
    EXPECT_EQ(Outline(dir / "out.txt"), "c,-----,b,-----,a,-----");
    // The file is deleted first, so a second run gives the same file.
    EXPECT_EQ(RunExport(sel.list, s, false, sel.outgoing, nullptr), 3);
    EXPECT_EQ(ReadFileBytes(dir / "out.txt"), once);

    // Threaded: first to last; with the separator on top as well.
    s.insertTop = 1;
    s.unix = 1;
    EXPECT_EQ(RunExport(sel.list, s, true, sel.outgoing, nullptr), 3);
    EXPECT_EQ(Outline(dir / "out.txt"), "-----,From,a,-----,From,b,-----,From,c,-----");

    // "No Separator" ignores the separator text.
    s.useSeparator = 0;
    EXPECT_EQ(RunExport(sel.list, s, true, sel.outgoing, nullptr), 3);
    EXPECT_EQ(Outline(dir / "out.txt"), "From,a,From,b,From,c");
}

TEST(ExportRun, EmptySelectionStillResetsTheFile) {
    ScratchDir dir;
    ExportSettings s;
    s.file = (dir / "out.txt").string();
    WriteFileBytes(dir / "out.txt", "old");
    EXPECT_EQ(RunExport({}, s, false, OutgoingOptions{}, nullptr), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.txt"));
    s.separator = "==";
    s.useSeparator = 1;
    s.insertTop = 1;
    EXPECT_EQ(RunExport({}, s, false, OutgoingOptions{}, nullptr), 0);
    EXPECT_EQ(ReadFileBytes(dir / "out.txt"), "==\r\n");
}

TEST(ExportRun, OneFilePerMessage) {
    ScratchDir dir;
    Selection sel{"a", "b", "c"};
    ExportSettings s;
    s.file = (dir / "out.txt").string();
    s.each = 1;
    s.separator = "ignored";
    s.useSeparator = 1;
    s.insertTop = 1;
    WriteFileBytes(dir / "out.2", "older export");
    WriteFileBytes(dir / "out.txt", "untouched");
    EXPECT_EQ(RunExport(sel.list, s, false, sel.outgoing, nullptr), 3);
    EXPECT_EQ(Outline(dir / "out.1"), "c");
    EXPECT_EQ(Outline(dir / "out.2"), "b");
    EXPECT_EQ(Outline(dir / "out.3"), "a");
    EXPECT_EQ(ReadFileBytes(dir / "out.txt"), "untouched");

    // A target that cannot be opened skips its message only.
    std::filesystem::remove(dir / "out.2");
    std::filesystem::create_directory(dir / "out.2");
    EXPECT_EQ(RunExport(sel.list, s, true, sel.outgoing, nullptr), 2);
    EXPECT_EQ(Outline(dir / "out.1"), "a");
    EXPECT_EQ(Outline(dir / "out.3"), "c");
}

// A message that cannot be written (here: its attachment file is gone)
// never replaces the earlier export with a shorter one, in either mode,
// and leaves no part file behind.
TEST(ExportRun, FailedExportKeepsTheEarlierFile) {
    ScratchDir dir;
    Selection sel{"a", "b"};
    ExportSettings s;
    s.file = (dir / "out.txt").string();
    WriteFileBytes(dir / "out.txt", "earlier export");
    WriteFileBytes(dir / "out.1", "earlier one");
    AttachmentEntry gone;
    gone.path = dir / "gone.pdf";
    sel.owned[0]->attachments.push_back(gone);  // "a": written second, last to first
    EXPECT_EQ(RunExport(sel.list, s, false, sel.outgoing, nullptr), 0);
    EXPECT_EQ(ReadFileBytes(dir / "out.txt"), "earlier export");
    s.each = 1;  // threaded: "a" first
    EXPECT_EQ(RunExport(sel.list, s, true, sel.outgoing, nullptr), 1);
    EXPECT_EQ(ReadFileBytes(dir / "out.1"), "earlier one");
    EXPECT_EQ(Outline(dir / "out.2"), "b");
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_NE(e.path().extension(), ".part") << e.path();
}

TEST(ExportRun, NamesControlsAndSettings) {
    EXPECT_EQ(SplitExportName("/home/u/out.txt").base, "/home/u/out");
    EXPECT_EQ(SplitExportName("/home/u/out.txt").extension, ".txt");
    EXPECT_EQ(SplitExportName("/home/u/a.b.c").extension, ".c");
    // A dot of a directory is not an extension.
    EXPECT_EQ(SplitExportName("/home/u.d/out").base, "/home/u.d/out");
    EXPECT_EQ(SplitExportName("/home/u.d/out").extension, "");
    EXPECT_EQ(SplitExportName("C:\\x.y\\out").extension, "");
    EXPECT_EQ(ExportBrowseDirectory("/home/u/out.txt"), "/home/u/");
    EXPECT_EQ(ExportBrowseDirectory("out.txt"), "");

    ExportSettings s;
    ExportControls c = ExportControlStates(s);
    EXPECT_TRUE(c.separatorChoice);
    EXPECT_FALSE(c.separatorText);
    EXPECT_TRUE(c.insertTop);
    s.useSeparator = 1;
    EXPECT_TRUE(ExportControlStates(s).separatorText);
    s.each = 1;
    c = ExportControlStates(s);
    EXPECT_FALSE(c.separatorChoice || c.separatorText || c.insertTop);
    EXPECT_EQ(s.SeparatorText(), "");
    s.each = 0;
    s.separator = "--";
    EXPECT_EQ(s.SeparatorText(), "--\n");

    ConfigStore config;
    EXPECT_EQ(ExportSettings::Load(config).file, "");
    s.file = "/tmp/x.txt";
    s.unix = 1;
    s.Save(config);
    const ExportSettings back = ExportSettings::Load(config);
    EXPECT_EQ(back.file, "/tmp/x.txt");
    EXPECT_EQ(back.separator, "--");
    EXPECT_EQ(back.useSeparator, 1);
    EXPECT_EQ(back.unix, 1);
    EXPECT_EQ(config.GetInt("Settings", "ExportEach", -1), 0);
}

}  // namespace
}  // namespace corvina
