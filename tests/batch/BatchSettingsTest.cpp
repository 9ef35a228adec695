// What a batch run takes from its surroundings: every setting of the
// catalogue, the working code page whatever the locale, and the running
// client, whose files the writing commands leave alone.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "BatchProcess.h"
#include "TestSupport.h"
#include "app/PasswordScrambler.h"
#include "app/Settings.h"
#include "batch/BatchOptions.h"
#include "platform/SingleInstance.h"
#include "store/FolderLock.h"

namespace corvina::test {
namespace {

constexpr const char* kJapaneseMail = "batch/japanese-text-stored-in-the-working-code-page.eml";

std::string Hex(std::string_view hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return bytes;
}

// "日本語のテストです" and the subject "会議の予定" (its last character has
// the trail byte 0x5C in Shift_JIS).
const std::string kBodySjis = Hex("93fa967b8cea82cc83658358836782c582b7");
const std::string kSubjectSjis = Hex("89ef8b6382cc975c92e8");
const std::string kBodyUtf8 = Hex("e697a5e69cace8aa9ee381aee38386e382b9e38388e381a7e38199");
const std::string kSubjectUtf8 = Hex("e4bc9ae8adb0e381aee4ba88e5ae9a");

class BatchSurroundings : public ::testing::Test {
protected:
    BatchResult Run(const std::vector<std::string>& args, const std::string& input = {}) {
        return batch.Run(args, input);
    }
    std::string InBox() const { return ReadFileBytes(batch.MailboxDir() / "InBox.mbx"); }

    ScratchDir dir;
    BatchProcess batch{dir.Path()};
};

// A value unlike the default for every row of the catalogue; the batch run
// must print each back as it was written.
TEST_F(BatchSurroundings, EverySettingOfTheCatalogueReachesTheBatchRun) {
    std::map<std::string, std::string> sections;
    std::map<std::string, std::string> expected;
    int n = 0;
    for (const SettingEntry& entry : SettingsCatalogue()) {
        const std::string name = entry.name;
        std::string stored, shown;
        if (name == "HomeDir") {
            stored = batch.Home().string();
            shown = stored + "/";
        } else if (name == "DefUser") {
            stored = shown = "3";
        } else if (entry.type == SettingType::kInt) {
            stored = shown = std::to_string(7000 + n);
        } else if (entry.type == SettingType::kScrambled) {
            stored = ScramblePassword("local secret");
            shown = "*";
        } else {
            stored = shown = "value of " + name;
        }
        ++n;
        sections[entry.section] += name + " = " + stored + "\n";
        expected[name] = shown;
    }
    std::string config;
    for (const auto& [section, lines] : sections)
        config += "[" + section + "]\n" + lines;
    WriteFileBytes(batch.ConfigFile(), config);

    // The local password is asked on standard input, as the client asks it.
    BatchResult r = Run({"--settings"}, "local secret\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::map<std::string, std::string> printed;
    size_t at = 0;
    while (at < r.out.size()) {
        const size_t end = r.out.find('\n', at);
        const std::string line = r.out.substr(at, end - at);
        at = end + 1;
        const size_t eq = line.find('=');
        if (!line.starts_with("[") && eq != std::string::npos)
            printed[line.substr(0, eq)] = line.substr(eq + 1);
    }
    for (const auto& [name, value] : expected)
        EXPECT_EQ(printed[name], value) << name;
    EXPECT_EQ(r.out.find("local secret"), std::string::npos);

    // A wrong password loads nothing.
    BatchResult wrong = Run({"--settings"}, "guess\n");
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_NE(wrong.err.find("nothing was done"), std::string::npos) << wrong.err;
}

// The stored bytes of a Japanese message follow CodePage first and the
// locale only when CodePage is 0 or absent, with no locale at all (cron)
// as in a UTF-8 one.
TEST_F(BatchSurroundings, CodePageSettingDecidesTheStoredBytesInAnyLocale) {
    struct Case {
        std::optional<std::string> locale;
        const char* codePage;  // nullptr: no CodePage line
        bool sjis;
    };
    const Case cases[] = {
        {std::nullopt, "932", true}, {std::nullopt, "65001", false}, {"C.UTF-8", "932", true},
        {"C.UTF-8", "65001", false}, {"C.UTF-8", "0", false},        {"C.UTF-8", nullptr, false},
    };
    for (const Case& c : cases) {
        const std::string label = std::string(c.locale ? *c.locale : "no locale") + ", CodePage " +
                                  (c.codePage ? c.codePage : "absent");
        std::filesystem::remove_all(batch.Home());
        std::filesystem::create_directories(batch.Home());
        batch.WriteConfig(c.codePage ? std::string("CodePage = ") + c.codePage + "\n" : "");
        batch.SetLocale(c.locale);
        BatchResult r = Run({"--deliver-file", DataPath(kJapaneseMail).string(), "InBox"});
        ASSERT_EQ(r.exitCode, 0) << label << ": " << r.err;
        const std::string stored = InBox();
        const std::string& body = c.sjis ? kBodySjis : kBodyUtf8;
        const std::string& subject = c.sjis ? kSubjectSjis : kSubjectUtf8;
        EXPECT_NE(stored.find(body), std::string::npos) << label << "\n" << stored;
        EXPECT_NE(stored.find(subject), std::string::npos) << label << "\n" << stored;
        EXPECT_EQ(stored.find("??"), std::string::npos) << label << "\n" << stored;
    }
}

// Every command of the table, with arguments that would succeed: while the
// client runs, those that write are refused and change no file; those that
// read work.
TEST_F(BatchSurroundings, WritingCommandsLeaveTheRunningClientsFilesAlone) {
    batch.WriteConfig("[Users\\0]\nAccount = Test\nAddress = bob@example.com\n");
    ASSERT_EQ(Run({"--deliver-file", DataPath(kJapaneseMail).string(), "InBox"}).exitCode, 0);
    WriteFileBytes(dir / "backup.mol", "From: a@b\nSubject: x\n\nbody\n.\n");
    ASSERT_EQ(Run({"--add-address", "Friends", "carol@example.com"}).exitCode, 0);

    const std::vector<std::vector<std::string>> commands = {
        {"--receive"},
        {"--receive-all"},
        {"--deliver"},
        {"--cleanup-server"},
        {"--folders"},
        {"--list", "InBox"},
        {"--show", "InBox", "1"},
        {"--deliver-file", DataPath(kJapaneseMail).string()},
        {"--compose", "--to", "carol@example.com", "--subject", "Hello"},
        {"--filter"},
        {"--set-password"},
        {"--compact", "InBox"},
        {"--reorganize", "InBox"},
        {"--restore-log", "backup.mol"},
        {"--export", "InBox", "exported.txt"},
        {"--addresses"},
        {"--add-address", "Friends", "dave@example.com"},
        {"--settings"},
    };
    // The list covers the whole table.
    std::set<BatchCommand> covered;
    for (const auto& args : commands) {
        BatchParse parse = ParseBatchOptions(args);
        ASSERT_TRUE(parse.options) << args[0] << ": " << parse.error;
        covered.insert(parse.options->command);
    }
    EXPECT_EQ(covered.size(), static_cast<size_t>(BatchCommand::kSettings) + 1);

    auto snapshot = [&] {
        std::map<std::string, std::string> files;
        files[batch.ConfigFile().string()] = ReadFileBytes(batch.ConfigFile());
        for (const auto& e : std::filesystem::recursive_directory_iterator(batch.Home())) {
            if (e.is_regular_file())
                files[e.path().string()] = ReadFileBytes(e.path());
        }
        return files;
    };

    SingleInstance client(dir.Path());
    ASSERT_EQ(client.Acquire(), SingleInstance::Role::kPrimary);
    for (const auto& args : commands) {
        const BatchCommand command = ParseBatchOptions(args).options->command;
        const auto before = snapshot();
        BatchResult r = Run(args, "new password\n");
        if (CommandWrites(command)) {
            EXPECT_EQ(r.exitCode, 1) << args[0];
            EXPECT_NE(r.err.find("Corvina is running; close it or use its window to "),
                      std::string::npos)
                << r.err;
            EXPECT_NE(r.err.find(args[0] + " was not run"), std::string::npos) << r.err;
            EXPECT_TRUE(snapshot() == before) << args[0] << " changed a file";
        } else {
            EXPECT_EQ(r.exitCode, 0) << args[0] << ": " << r.err;
        }
    }
    // Reading commands stayed useful: the message is there to read.
    EXPECT_NE(Run({"--show", "InBox", "1"}).out.find("jp1@example.jp"), std::string::npos);

    // Once the client has ended, the same command writes.
    client.Release();
    EXPECT_EQ(Run({"--compose", "--to", "carol@example.com", "--subject", "Hello"}).exitCode, 0);
    EXPECT_TRUE(std::filesystem::exists(batch.MailboxDir() / "OutBox.mbx"));
}

TEST_F(BatchSurroundings, UnclearOrFailingInputEndsWithAClearMessage) {
    batch.WriteConfig("");
    // A backup log that cannot be read restores nothing and says so.
    BatchResult log = Run({"--restore-log", "absent.mol"});
    EXPECT_EQ(log.exitCode, 1);
    EXPECT_NE(log.err.find("cannot read the backup log"), std::string::npos) << log.err;

    BatchResult two = Run({"--folders", "--list", "InBox"});
    EXPECT_EQ(two.exitCode, 2);
    EXPECT_NE(two.err.find("not both --folders and --list"), std::string::npos) << two.err;

    BatchResult zero = Run({"--show", "InBox", "0"});
    EXPECT_EQ(zero.exitCode, 2);
    EXPECT_NE(zero.err.find("1 or more, not 0"), std::string::npos) << zero.err;

    BatchResult folder = Run({"--compact", "Nowhere"});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_NE(folder.err.find("no folder named Nowhere (corvina --folders lists them)"),
              std::string::npos)
        << folder.err;

    // Help wherever it stands.
    BatchResult help = Run({"--list", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--settings"), std::string::npos);

    // No home directory and nobody to answer: nothing is done, and the
    // message says why.
    WriteFileBytes(batch.ConfigFile(), "[Settings]\n");
    BatchResult unset = Run({"--folders"});
    EXPECT_EQ(unset.exitCode, 1);
    EXPECT_NE(unset.err.find("no home folder is set"), std::string::npos) << unset.err;
}

// moutil appends to Import.mbx only while it holds that folder's lock, so a
// batch command rewriting the folder never loses what it imports.
TEST_F(BatchSurroundings, MoutilWaitsForTheImportFoldersLock) {
    batch.WriteConfig("");
    std::filesystem::create_directories(batch.MailboxDir());
    WriteFileBytes(dir / "in.mbox", "From a\nFrom: a@b\n\none\n");
    const auto importBox = batch.MailboxDir() / "Import.mbx";

    std::optional<FolderLock> held = FolderLock::Acquire(importBox);
    ASSERT_TRUE(held);
    BatchResult r;
    std::thread importer([&] {
        r = batch.RunProgram(MOUTIL_BINARY, {"--type", "1", "--input", (dir / "in.mbox").string()});
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_FALSE(std::filesystem::exists(importBox)) << "moutil wrote while the lock was held";
    held->Release();
    importer.join();
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(ReadFileBytes(importBox), "From: a@b\r\n\r\none\r\n\r\n.\r\n");
}

}  // namespace
}  // namespace corvina::test
