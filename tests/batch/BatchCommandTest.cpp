// The batch commands run through the binary on a hand-written settings file.

#include <gtest/gtest.h>

#include <string>

#include "BatchProcess.h"
#include "TestSupport.h"
#include "app/PasswordScrambler.h"
#include "platform/ConfigStore.h"

namespace corvina::test {
namespace {

constexpr const char* kMessage =
    "From: Alice <alice@example.com>\r\n"
    "To: bob@example.com\r\n"
    "Subject: Quarterly figures\r\n"
    "Date: Tue, 01 Dec 2026 10:00:00 +0000\r\n"
    "Message-ID: <one@example.com>\r\n"
    "X-Marlo-Attachment-File: /etc/passwd\r\n"
    "\r\n"
    "First line\r\n"
    ".\r\n"
    "..two dots\r\n"
    "Last line\r\n";

class BatchCommands : public ::testing::Test {
protected:
    void SetUp() override {
        batch.WriteConfig("[Users\\0]\nAccount = Test\nAddress = bob@example.com\n");
    }
    BatchResult Run(const std::vector<std::string>& args, const std::string& input = {}) {
        return batch.Run(args, input);
    }
    ScratchDir dir;
    BatchProcess batch{dir.Path()};
};

TEST_F(BatchCommands, UsageErrorsExitTwoAndHelpListsTheCommands) {
    BatchResult r = Run({"--list"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--list needs one FOLDER"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());

    BatchResult help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"--receive", "--folders", "--list", "--show", "--deliver-file",
                               "--filter", "--set-password", "--account", "--compose"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
}

TEST_F(BatchCommands, DeliveredFileIsListedShownAndCounted) {
    WriteFileBytes(dir / "mail.eml", kMessage);
    BatchResult deliver = Run({"--deliver-file", "mail.eml"});
    ASSERT_EQ(deliver.exitCode, 0) << deliver.err;

    BatchResult folders = Run({"--folders"});
    ASSERT_EQ(folders.exitCode, 0) << folders.err;
    EXPECT_NE(folders.out.find("InBox\t1\t1\n"), std::string::npos) << folders.out;
    EXPECT_NE(folders.out.find("Trash\t0\t0\n"), std::string::npos) << folders.out;

    BatchResult list = Run({"--list", "InBox"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    ASSERT_TRUE(list.out.starts_with("1\tQuarterly figures\t")) << list.out;
    EXPECT_NE(list.out.find("Alice"), std::string::npos);
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 1);
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\t'), 5);

    BatchResult show = Run({"--show", "InBox", "1"});
    ASSERT_EQ(show.exitCode, 0) << show.err;
    EXPECT_NE(show.out.find("Subject:Quarterly figures\n"), std::string::npos) << show.out;
    // A line of a raw file that is only "." is text, not the end; and a
    // store line from outside never links a local file.
    EXPECT_NE(show.out.find("First line\n..\n...two dots\nLast line\n.\n"), std::string::npos)
        << show.out;
    EXPECT_EQ(show.out.find("/etc/passwd"), std::string::npos) << show.out;

    BatchResult missing = Run({"--show", "InBox", "2"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(missing.err.empty());
    EXPECT_EQ(Run({"--list", "NoSuchFolder"}).exitCode, 1);
    EXPECT_EQ(Run({"--deliver-file", "absent.eml"}).exitCode, 1);
}

TEST_F(BatchCommands, ListSortsByColumnAndThreads) {
    const std::string a =
        "From: a@x\nSubject: Beta\nDate: Tue, 01 Dec 2026 10:00:00 +0000\n"
        "Message-ID: <a@x>\n\nbody\n";
    const std::string b =
        "From: b@x\nSubject: Alpha\nDate: Wed, 02 Dec 2026 10:00:00 +0000\n"
        "Message-ID: <b@x>\n\nbody\n";
    const std::string reply =
        "From: c@x\nSubject: Re: Beta\nDate: Thu, 03 Dec 2026 10:00:00 +0000\n"
        "Message-ID: <c@x>\nIn-Reply-To: <a@x>\n\nbody\n";
    WriteFileBytes(dir / "a.eml", a);
    WriteFileBytes(dir / "b.eml", b);
    WriteFileBytes(dir / "c.eml", reply);
    for (const char* f : {"a.eml", "b.eml", "c.eml"})
        ASSERT_EQ(Run({"--deliver-file", f, "InBox"}).exitCode, 0);

    auto positions = [](const std::string& out) {
        std::string p;
        size_t at = 0;
        while (at < out.size()) {
            p += out.substr(at, out.find('\t', at) - at) + " ";
            at = out.find('\n', at) + 1;
        }
        return p;
    };
    // Newest first, then by subject, subject descending, and threaded: the
    // reply right under its parent, with the depth prefix.
    EXPECT_EQ(positions(Run({"--list", "InBox"}).out), "3 2 1 ");
    EXPECT_EQ(positions(Run({"--list", "InBox", "--sort", "subject"}).out), "2 1 3 ");
    EXPECT_EQ(positions(Run({"--list", "InBox", "--sort", "subject:desc"}).out), "3 1 2 ");
    BatchResult threaded = Run({"--list", "InBox", "--threaded"});
    ASSERT_EQ(threaded.exitCode, 0) << threaded.err;
    const size_t parent = threaded.out.find("1\tBeta");
    const size_t child = threaded.out.find("3\t  | Re: Beta");
    ASSERT_NE(parent, std::string::npos) << threaded.out;
    ASSERT_NE(child, std::string::npos) << threaded.out;
    EXPECT_LT(parent, child);
    // Threading for one run does not change the folder's own choice.
    EXPECT_EQ(positions(Run({"--list", "InBox"}).out), "3 2 1 ");
}

TEST_F(BatchCommands, FilterRulesChooseTheFolder) {
    const auto mailbox = batch.MailboxDir();
    // The first run creates the mailbox directory.
    ASSERT_EQ(Run({"--folders"}).exitCode, 0);
    WriteFileBytes(mailbox / "Work.mbx", "");
    WriteFileBytes(mailbox / "Filter.DEF", "Subject\tfigures\tWork\n");
    WriteFileBytes(dir / "mail.eml", kMessage);

    ASSERT_EQ(Run({"--deliver-file", "mail.eml"}).exitCode, 0);
    BatchResult folders = Run({"--folders"});
    EXPECT_NE(folders.out.find("InBox\t0\t0\n"), std::string::npos) << folders.out;
    EXPECT_NE(folders.out.find("Work\t1\t1\n"), std::string::npos) << folders.out;

    // A folder named on the command line wins over the rules; --filter
    // then moves it where the rules send it.
    ASSERT_EQ(Run({"--deliver-file", "mail.eml", "InBox"}).exitCode, 0);
    BatchResult filter = Run({"--filter"});
    EXPECT_EQ(filter.exitCode, 0) << filter.err;
    folders = Run({"--folders"});
    EXPECT_NE(folders.out.find("InBox\t0\t0\n"), std::string::npos) << folders.out;
    EXPECT_NE(folders.out.find("Work\t2\t2\n"), std::string::npos) << folders.out;
    EXPECT_EQ(Run({"--deliver-file", "mail.eml", "Nowhere"}).exitCode, 1);
}

TEST_F(BatchCommands, SetPasswordScramblesIntoTheChosenSlot) {
    batch.WriteConfig("; my own notes\n[Users\\0]\nAccount = Test\n[Users\\2]\nAccount = Other\n");
    ASSERT_EQ(Run({"--set-password"}, "s3cret pass\n").exitCode, 0);
    ASSERT_EQ(Run({"--set-password", "--smtp", "--account", "2"}, "relay\r\n").exitCode, 0);
    ASSERT_EQ(Run({"--set-password", "--dialup"}, "dial").exitCode, 0);
    EXPECT_EQ(Run({"--set-password"}, "").exitCode, 1);

    ConfigStore store(batch.ConfigFile());
    ASSERT_TRUE(store.Load());
    const std::string pass = store.GetString("Users\\0", "Pass");
    EXPECT_NE(pass, "s3cret pass");
    EXPECT_EQ(UnscramblePassword(pass), "s3cret pass");
    EXPECT_EQ(UnscramblePassword(store.GetString("Users\\2", "SMTPPass")), "relay");
    EXPECT_EQ(UnscramblePassword(store.GetString("Users\\0", "DialupPass")), "dial");
    EXPECT_NE(ReadFileBytes(batch.ConfigFile()).find("; my own notes"), std::string::npos);
}

}  // namespace
}  // namespace corvina::test
