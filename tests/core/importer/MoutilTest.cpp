// moutil's command line: the import into the default account's Import.mbx
// with the result text, the refusal while the client runs, and the usage
// and failure exits.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "TestSupport.h"
#include "platform/SingleInstance.h"

namespace corvina {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

struct ProgramRun {
    int status = -1;
    std::string out;
};

struct Moutil {
    ScratchDir dir;
    Moutil() {
        std::filesystem::create_directories(dir / "home" / "User2");
        std::filesystem::create_directories(dir / "run");
        WriteFileBytes(dir / "cfg.ini",
                       "[Settings]\nHomeDir=" + (dir / "home").string() + "/\nDefUser=2\n");
        WriteFileBytes(dir / "in.mbox", "From a\nFrom: a@b\n\none\nFrom b\nFrom: b@c\n\ntwo\n");
    }
    ProgramRun Start(const std::string& args) {
        const std::string command = "CORVINA_CONFIG='" + (dir / "cfg.ini").string() +
                                    "' XDG_RUNTIME_DIR='" + (dir / "run").string() + "' TMPDIR='" +
                                    dir.Path().string() + "' " MOUTIL_PATH " " + args + " 2>&1";
        ProgramRun run;
        std::FILE* pipe = ::popen(command.c_str(), "r");
        if (!pipe) {
            return run;
        }
        char buffer[512];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            run.out.append(buffer, n);
        }
        const int status = ::pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }
    std::filesystem::path Mailbox() { return dir / "home" / "User2" / "Import.mbx"; }
};

TEST(Moutil, ImportsIntoTheDefaultAccountAndPrintsTheResult) {
    Moutil m;
    ProgramRun run = m.Start("--type 1 --input '" + (m.dir / "in.mbox").string() + "'");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out.substr(0, 49), "2Items are imported into the 'Import' folder of y");
    EXPECT_EQ(ReadFileBytes(m.Mailbox()),
              "From: a@b\r\n\r\none\r\n.\r\nFrom: b@c\r\n\r\ntwo\r\n\r\n.\r\n");
    // Type 0 with its own separator, kept as the first line.
    run = m.Start("--type 0 --separator 'From ' --keep-separator --input '" +
                  (m.dir / "in.mbox").string() + "'");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(ReadFileBytes(m.Mailbox()).find(".\r\nFrom a\r\nFrom: a@b\r\n"), std::string::npos);
}

TEST(Moutil, NoStoreLineReachesImportMbxWhateverTheSeparator) {
    Moutil m;
    ProgramRun run = m.Start("--type 0 --separator X-Marlo- --keep-separator --input '" +
                             test::DataPath("import/x-marlo-separator.txt").string() + "'");
    EXPECT_EQ(run.status, 0) << run.out;
    const std::string box = ReadFileBytes(m.Mailbox());
    EXPECT_EQ(box.find("X-Marlo-Reply"), std::string::npos) << box;
    EXPECT_EQ(box.find("X-Marlo-Attachment-File"), std::string::npos) << box;
    EXPECT_NE(box.find("X-Marlo-Other: 7\r\n"), std::string::npos) << box;
}

TEST(Moutil, RefusesWhileTheClientRuns) {
    Moutil m;
    SingleInstance client(m.dir / "run");
    ASSERT_EQ(client.Acquire(), SingleInstance::Role::kPrimary);
    ProgramRun run = m.Start("--type 1 --input '" + (m.dir / "in.mbox").string() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.starts_with("Exit Marlo! at first.\n")) << run.out;
    EXPECT_NE(run.out.find("Corvina is running; close it, then run moutil again"),
              std::string::npos)
        << run.out;
    EXPECT_FALSE(std::filesystem::exists(m.Mailbox()));
    client.Release();
    EXPECT_EQ(m.Start("--type 1 --input '" + (m.dir / "in.mbox").string() + "'").status, 0);
}

TEST(Moutil, UsageAndFailures) {
    Moutil m;
    EXPECT_EQ(m.Start("--type 9 --input x").status, 2);
    EXPECT_EQ(m.Start("--type 1").status, 2);
    EXPECT_EQ(m.Start("--type 1 --input x --separator y").status, 2);
    ProgramRun run = m.Start("--type 1 --input ''");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Specify name of the input file.\n");
    EXPECT_EQ(m.Start("--type 1 --input '" + (m.dir / "missing").string() + "'").status, 1);
    EXPECT_EQ(m.Start("--type 4 --input '" + (m.dir / "none.eml").string() + "'").status, 1);
    EXPECT_FALSE(std::filesystem::exists(m.Mailbox()));
    // No home directory yet: nothing is written anywhere.
    WriteFileBytes(m.dir / "cfg.ini", "[Settings]\n");
    EXPECT_EQ(m.Start("--type 1 --input '" + (m.dir / "in.mbox").string() + "'").status, 1);
}

}  // namespace
}  // namespace corvina
