#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <random>

#include "RecordingPrompt.h"
#include "TestSupport.h"
#include "message/BinHex.h"
#include "message/SafeFileName.h"
#include "message/Uuencode.h"

namespace corvina {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

using test::RecordingPrompt;

std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& c : s) {
        c = static_cast<char>(rng() & 0xFF);
    }
    return s;
}

bool HaveTool(const char* name) {
    std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

int RunShell(const std::string& cmd) {
    return std::system(cmd.c_str());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t lf = text.find('\n', pos);
        out.push_back(text.substr(pos, lf - pos));
        pos = lf == std::string::npos ? text.size() : lf + 1;
    }
    return out;
}

TEST(SafeFileName, ReducesToABaseName) {
    EXPECT_EQ(SafeFileName("report.pdf"), "report.pdf");
    EXPECT_EQ(SafeFileName("../../etc/passwd"), "passwd");
    EXPECT_EQ(SafeFileName("C:\\Users\\x\\evil.exe"), "evil.exe");
    EXPECT_EQ(SafeFileName(".."), "noname");
    EXPECT_EQ(SafeFileName("dir/"), "noname");
    EXPECT_EQ(SafeFileName(""), "noname");
    EXPECT_EQ(SafeFileName(".bashrc"), "bashrc");
    EXPECT_EQ(SafeFileName("a\r\nb\x01.txt"), "ab.txt");
    EXPECT_EQ(SafeFileName("a...b"), "a.b");
    EXPECT_EQ(SafeFileName(std::string(500, 'x')).size(), 200u);
}

TEST(UuEncode, LineLayout) {
    ScratchDir dir;
    WriteFileBytes(dir / "full.bin", RandomBytes(45, 1));
    auto out = UuEncodeFile(dir / "full.bin", dir.Path());
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, dir / "full.uue");
    auto lines = Lines(ReadFileBytes(*out));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "begin 666 full.bin");
    EXPECT_EQ(lines[1].size(), 62u);  // 61 characters and the CR
    EXPECT_EQ(lines[1][0], 'M');
    EXPECT_EQ(lines[2], "`\r");
    EXPECT_EQ(lines[3], "end");

    WriteFileBytes(dir / "one", std::string(1, '\0'));
    out = UuEncodeFile(dir / "one", dir.Path());
    ASSERT_TRUE(out);
    EXPECT_EQ(ReadFileBytes(*out), "begin 666 one\n!``\r\n`\r\nend\n");
    EXPECT_FALSE(UuEncodeFile(dir / "missing", dir.Path()));
    EXPECT_FALSE(UuEncodeFile(dir / "one", dir / "no-such-dir"));
}

TEST(UuDecode, CollisionsDialogAndSafeNames) {
    ScratchDir dir;
    fs::create_directory(dir / "attach");
    std::string text = "begin 644 note.txt\r\n#86)C\r\n`\r\nend\r\n";
    WriteFileBytes(dir / "attach" / "note.txt", "old");
    DecodeTarget target{dir / "attach", dir / "attach", nullptr};
    EXPECT_EQ(UuDecodeText(text, target), dir / "attach" / "00_note.txt");
    EXPECT_EQ(ReadFileBytes(dir / "attach" / "00_note.txt"), "abc");
    EXPECT_EQ(UuDecodeText(text, target), dir / "attach" / "01_note.txt");
    EXPECT_EQ(ReadFileBytes(dir / "attach" / "note.txt"), "old");

    // A crafted name cannot leave the directory.
    EXPECT_EQ(UuDecodeText("begin 644 ../../escape\n#86)C\n`\nend\n", target),
              dir / "attach" / "escape");
    EXPECT_FALSE(fs::exists(dir.Path().parent_path() / "escape"));

    // Without a directory a save dialog asks; cancelling gives none.
    RecordingPrompt prompt;
    DecodeTarget ask{{}, dir / "attach", &prompt};
    EXPECT_FALSE(UuDecodeText(text, ask));
    ASSERT_EQ(prompt.fileChoices.size(), 1u);
    EXPECT_EQ(prompt.fileChoices[0].purpose, FileChoice::Purpose::Save);
    EXPECT_EQ(prompt.fileChoices[0].suggestedName, "note.txt");
    EXPECT_EQ(prompt.fileChoices[0].startDirectory, dir / "attach");
    EXPECT_EQ(prompt.fileChoices[0].filterPattern, "*.*");
    prompt.files.push_back(dir / "chosen.txt");
    EXPECT_EQ(UuDecodeText(text, ask), dir / "chosen.txt");
    EXPECT_EQ(ReadFileBytes(dir / "chosen.txt"), "abc");

    EXPECT_FALSE(UuDecodeText("begin x note\n", target));
    EXPECT_FALSE(UuDecodeText("hello\n", target));
}

TEST(UuDecode, AllCollisionNamesTakenAsksTheHost) {
    ScratchDir dir;
    WriteFileBytes(dir / "n", "");
    for (int i = 0; i < 256; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "%02x_n", i);
        WriteFileBytes(dir / name, "");
    }
    RecordingPrompt prompt;
    EXPECT_FALSE(UuDecodeText("begin 644 n\n#86)C\n`\nend\n", {dir.Path(), dir.Path(), &prompt}));
    EXPECT_EQ(prompt.fileChoices.size(), 1u);
}

TEST(UuCodec, AgreesWithSharutils) {
    if (!HaveTool("uudecode") || !HaveTool("uuencode")) {
        GTEST_SKIP() << "sharutils not installed";
    }
    ScratchDir dir;
    for (std::size_t size : {0u, 1u, 2u, 44u, 45u, 46u, 1000u, 4097u}) {
        std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
        WriteFileBytes(dir / "data.bin", bytes);
        // Ours, decoded by uudecode.
        auto ours = UuEncodeFile(dir / "data.bin", dir.Path());
        ASSERT_TRUE(ours);
        ASSERT_EQ(RunShell("cd '" + dir.Path().string() + "' && uudecode -o theirs.bin data.uue"),
                  0);
        EXPECT_EQ(ReadFileBytes(dir / "theirs.bin"), bytes) << size;
        // uuencode's, decoded by ours.
        ASSERT_EQ(RunShell("cd '" + dir.Path().string() + "' && uuencode data.bin x.bin > x.uue"),
                  0);
        fs::create_directory(dir / "out");
        auto decoded = UuDecodeText(ReadFileBytes(dir / "x.uue"), {dir / "out", {}, nullptr});
        ASSERT_TRUE(decoded);
        EXPECT_EQ(*decoded, dir / "out" / "x.bin");
        EXPECT_EQ(ReadFileBytes(*decoded), bytes) << size;
        fs::remove_all(dir / "out");
    }
}

TEST(BinHex, CrcAndLayout) {
    EXPECT_EQ(BinHexCrc("123456789"), 0x31C3);  // CRC-16/XMODEM check value
    ScratchDir dir;
    WriteFileBytes(dir / "f.dat", RandomBytes(3000, 5));
    auto out = BinHexEncodeFile(dir / "f.dat", dir.Path());
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, dir / "f.hqx");
    EXPECT_FALSE(fs::exists(dir / "MOBINHEX.TMP"));
    auto lines = Lines(ReadFileBytes(*out));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], kBinHexFirstLine);
    EXPECT_EQ(lines[1][0], ':');
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        EXPECT_EQ(lines[i].size(), 65u) << i;  // 64 characters and the CR
    }
    EXPECT_EQ(lines.back().back(), '\r');
    EXPECT_EQ(lines.back()[lines.back().size() - 2], ':');
}

TEST(BinHex, RoundTripsRunsAndMarkerBytes) {
    ScratchDir dir;
    fs::create_directory(dir / "attach");
    std::string bytes = std::string(1000, 'a') + std::string(2, 'b') + "\x90\x90\x90\x90" +
                        std::string(1, '\x90') + "c" + RandomBytes(500, 9) + std::string(300, '\0');
    WriteFileBytes(dir / "runs.bin", bytes);
    auto hqx = BinHexEncodeFile(dir / "runs.bin", dir.Path());
    ASSERT_TRUE(hqx);
    auto decoded = BinHexDecodeText(ReadFileBytes(*hqx), {dir / "attach", {}, nullptr}, dir.Path());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, dir / "attach" / "runs.bin");
    EXPECT_EQ(ReadFileBytes(*decoded), bytes);
    EXPECT_FALSE(fs::exists(dir / "MOBINHEX.TMP"));
    EXPECT_FALSE(fs::exists(dir / "MOBINHEX.001"));
    // Same name again: the collision name.
    decoded = BinHexDecodeText(ReadFileBytes(*hqx), {dir / "attach", {}, nullptr}, dir.Path());
    EXPECT_EQ(decoded, dir / "attach" / "00_runs.bin");
    // A character outside the alphabet, or a missing closing colon, gives none.
    EXPECT_FALSE(BinHexDecodeText(
        std::string(kBinHexFirstLine) + "\n:ab~cd:", {dir / "attach", {}, nullptr}, dir.Path()));
    EXPECT_FALSE(BinHexDecodeText(std::string(kBinHexFirstLine) + "\n:abcd",
                                  {dir / "attach", {}, nullptr}, dir.Path()));
}

TEST(BinHex, AgreesWithMacutils) {
    if (!HaveTool("hexbin") || !HaveTool("binhex")) {
        GTEST_SKIP() << "macutils not installed";
    }
    ScratchDir dir;
    fs::create_directory(dir / "attach");
    for (std::size_t size : {0u, 1u, 100u, 5000u}) {
        std::string bytes =
            RandomBytes(size, 40 + static_cast<unsigned>(size)) + std::string(size / 2, 'z');
        WriteFileBytes(dir / "data", bytes);
        // Ours, decoded by hexbin (data fork written to NAME.data).
        auto ours = BinHexEncodeFile(dir / "data", dir.Path());
        ASSERT_TRUE(ours);
        fs::create_directory(dir / "hb");
        ASSERT_EQ(RunShell("cd '" + (dir / "hb").string() + "' && hexbin -3 ../data.hqx"), 0);
        EXPECT_EQ(ReadFileBytes(dir / "hb" / "data.data"), bytes) << size;
        fs::remove_all(dir / "hb");
        // binhex's, decoded by ours (with the standard first line).
        ASSERT_EQ(RunShell("cd '" + dir.Path().string() + "' && binhex -d data > theirs.hqx"), 0);
        std::string theirs = ReadFileBytes(dir / "theirs.hqx");
        std::size_t eol = theirs.find('\n');
        ASSERT_NE(eol, std::string::npos);
        theirs = std::string(kBinHexFirstLine) + theirs.substr(eol);
        auto decoded = BinHexDecodeText(theirs, {dir / "attach", {}, nullptr}, dir.Path());
        ASSERT_TRUE(decoded);
        EXPECT_EQ(ReadFileBytes(*decoded), bytes) << size;
        fs::remove(*decoded);
    }
}

TEST(BinHex, TextTypeGetsTxtAndCraftedNamesAreSafe) {
    ScratchDir dir;
    fs::create_directory(dir / "attach");
    // Build a BinHex stream by hand: name, type TEXT, a 5-byte data fork.
    auto stream = [](const std::string& name, const std::string& type) {
        std::string s;
        s += static_cast<char>(name.size());
        s += name;
        s += '\0';
        s += type + "ttxt";
        s += std::string(2, '\0');
        s += std::string("\0\0\0\x05", 4);
        s += std::string(4, '\0');
        s += std::string("\0\0hello", 7);
        s += std::string(4, '\0');
        return s;
    };
    auto encode = [](const std::string& bin) {
        static const char* kAlpha =
            "!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr";
        std::string out = std::string(kBinHexFirstLine) + "\r\n:";
        unsigned bits = 0;
        int n = 0;
        for (unsigned char c : bin) {
            bits = (bits << 8) | c;
            n += 8;
            while (n >= 6) {
                n -= 6;
                out += kAlpha[(bits >> n) & 63];
            }
        }
        if (n > 0) {
            out += kAlpha[(bits << (6 - n)) & 63];
        }
        return out + ":\r\n";
    };
    DecodeTarget target{dir / "attach", {}, nullptr};
    EXPECT_EQ(BinHexDecodeText(encode(stream("readme", "TEXT")), target, dir.Path()),
              dir / "attach" / "readme.txt");
    EXPECT_EQ(ReadFileBytes(dir / "attach" / "readme.txt"), "hello");
    EXPECT_EQ(BinHexDecodeText(encode(stream("notes.doc", "TEXT")), target, dir.Path()),
              dir / "attach" / "notes.doc");
    EXPECT_EQ(BinHexDecodeText(encode(stream("../../x", "BINA")), target, dir.Path()),
              dir / "attach" / "x");
    EXPECT_EQ(BinHexDecodeText(encode(stream("", "BINA")), target, dir.Path()),
              dir / "attach" / "noname");
}

}  // namespace
}  // namespace corvina

namespace corvina {
namespace {

fs::perms ModeOf(const fs::path& p) {
    return fs::status(p).permissions() & fs::perms::all;
}

// Sets the umask for one test and puts the old one back.
struct Umask {
    explicit Umask(mode_t mask) : old(::umask(mask)) {}
    ~Umask() { ::umask(old); }
    mode_t old;
};

// Whatever the umask, decoded files and the encoders' files are readable by
// their owner only: they hold mail.
TEST(PrivateFiles, EveryFileTheCodecsWriteIsOwnerOnly) {
    Umask open(0);
    ScratchDir dir;
    fs::create_directories(dir / "attach");
    const fs::perms owner = fs::perms::owner_read | fs::perms::owner_write;

    const std::string uu = "begin 666 note.txt\n#86)C\n`\nend\n";
    auto first = UuDecodeText(uu, {dir / "attach", {}, nullptr});
    auto second = UuDecodeText(uu, {dir / "attach", {}, nullptr});  // 00_note.txt
    ASSERT_TRUE(first && second);
    EXPECT_EQ(ModeOf(*first), owner);
    EXPECT_EQ(ModeOf(*second), owner);

    RecordingPrompt prompt;
    prompt.files.push_back(dir / "chosen.txt");
    WriteFileBytes(dir / "chosen.txt", "old");
    fs::permissions(dir / "chosen.txt", fs::perms::all);
    auto chosen = UuDecodeText(uu, {{}, dir / "attach", &prompt});
    ASSERT_TRUE(chosen);
    EXPECT_EQ(ModeOf(*chosen), owner);
    EXPECT_EQ(ReadFileBytes(*chosen), "abc");

    WriteFileBytes(dir / "data.bin", RandomBytes(300, 5));
    auto uue = UuEncodeFile(dir / "data.bin", dir.Path());
    auto hqx = BinHexEncodeFile(dir / "data.bin", dir.Path());
    ASSERT_TRUE(uue && hqx);
    EXPECT_EQ(ModeOf(*uue), owner);
    EXPECT_EQ(ModeOf(*hqx), owner);
    auto decoded = BinHexDecodeText(ReadFileBytes(*hqx), {dir / "attach", {}, nullptr}, dir.Path());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(ModeOf(*decoded), owner);
    EXPECT_EQ(ReadFileBytes(*decoded), RandomBytes(300, 5));
}

}  // namespace
}  // namespace corvina
