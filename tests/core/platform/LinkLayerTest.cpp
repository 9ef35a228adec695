#include "platform/LinkLayer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "TestSupport.h"

namespace corvina {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;

// A stand-in for nmcli: logs its arguments, keeps the "up" state in a
// file, and copies what it reads from a passwd-file.
std::filesystem::path WriteFakeTool(const ScratchDir& dir) {
    const auto path = dir / "nmcli";
    const std::string d = dir.Path().string();
    test::WriteFileBytes(
        path,
        "#!/bin/sh\n"
        "printf '%s\\n' \"$*\" >> '" +
            d +
            "/log'\n"
            "case \"$*\" in\n"
            "*'connection show --active'*)\n"
            "  printf 'Wired:uuid-1:802-3-ethernet:eth0\\n'\n"
            "  [ -f '" +
            d +
            "/up' ] && printf 'Mobile\\\\: Work:uuid-2:gsm:ttyUSB0\\n'\n"
            "  exit 0;;\n"
            "*'connection show'*)\n"
            "  printf 'Wired:uuid-1:802-3-ethernet\\nMobile\\\\: Work:uuid-2:gsm\\n'\n"
            "  printf 'Broken:uuid-3:vpn\\n\\n'\n"
            "  exit 0;;\n"
            "*'connection up uuid uuid-2'*)\n"
            "  for a; do case $a in /dev/fd/*) cat \"$a\" > '" +
            d +
            "/secret';; esac; done\n"
            "  touch '" +
            d +
            "/up'; exit 0;;\n"
            "*'connection up uuid uuid-3'*)\n"
            "  echo 'Error: Connection activation failed: no secrets.' >&2; exit 4;;\n"
            "*'connection down uuid uuid-2'*) rm -f '" +
            d +
            "/up'; exit 0;;\n"
            "*) exit 10;;\n"
            "esac\n");
    chmod(path.c_str(), 0700);
    return path;
}

TEST(LinkLayer, DialsAndHangsUpThroughTheTool) {
    ScratchDir dir;
    LinkLayer link(WriteFakeTool(dir).string());
    ASSERT_TRUE(link.Load());

    const auto entries = link.Entries();
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 3u);
    EXPECT_EQ((*entries)[1].name, "Mobile: Work");  // escaped colon
    EXPECT_EQ((*entries)[1].uuid, "uuid-2");
    EXPECT_TRUE(LinkLayer::IsDialUpType((*entries)[1].type));
    EXPECT_FALSE(LinkLayer::IsDialUpType((*entries)[0].type));

    auto active = link.ActiveConnections();
    ASSERT_TRUE(active);
    ASSERT_EQ(active->size(), 1u);
    EXPECT_EQ((*active)[0].device, "eth0");

    const auto handle = link.Dial("Mobile: Work", "s3cret pass");
    ASSERT_TRUE(handle);
    EXPECT_EQ(*handle, "uuid-2");
    EXPECT_EQ(ReadFileBytes(dir / "secret"), "gsm.password:s3cret pass\n");
    active = link.ActiveConnections();
    ASSERT_TRUE(active);
    EXPECT_EQ(active->size(), 2u);

    EXPECT_TRUE(link.HangUp(*handle));
    EXPECT_EQ(link.ActiveConnections()->size(), 1u);

    // The password went through the pipe only, never into the arguments.
    const std::string log = ReadFileBytes(dir / "log");
    EXPECT_EQ(log.find("s3cret"), std::string::npos);
    EXPECT_NE(log.find("connection up uuid uuid-2 passwd-file /dev/fd/3"), std::string::npos);
}

TEST(LinkLayer, ReportsTheServicesFailures) {
    ScratchDir dir;
    LinkLayer link(WriteFakeTool(dir).string());
    EXPECT_FALSE(link.Dial("Broken", ""));
    EXPECT_EQ(link.LastError().code, 4);
    EXPECT_EQ(link.LastError().text, "Error: Connection activation failed: no secrets.");
    // What a failed dialling may have left coming up.
    EXPECT_EQ(link.LastDialAttempt(), "uuid-3");

    EXPECT_FALSE(link.Dial("No Such Entry", "pw"));
    EXPECT_EQ(link.LastError().code, 10);
    EXPECT_EQ(link.LastDialAttempt(), "");
    EXPECT_FALSE(link.Dial("Mobile: Work", "two\nlines"));
    EXPECT_EQ(link.LastError().code, 2);
    EXPECT_FALSE(link.HangUp("uuid-9"));  // the tool says 10 without a message
    EXPECT_EQ(link.LastError().code, 10);
    EXPECT_EQ(link.LastError().text, LinkLayer::ErrorText(10));

    LinkLayer missing((dir / "not-installed").string());
    EXPECT_FALSE(missing.Load());
    EXPECT_FALSE(missing.Entries());
    EXPECT_EQ(missing.LastError().code, -1);
}

TEST(LinkLayer, TerseFieldsKeepEscapedSeparators) {
    EXPECT_EQ(LinkLayer::SplitTerse("a\\:b:c\\\\d::e\r"),
              (std::vector<std::string>{"a:b", "c\\d", "", "e"}));
    EXPECT_EQ(LinkLayer::SplitTerse(""), (std::vector<std::string>{""}));
    EXPECT_EQ(LinkLayer::SplitTerse("trailing\\"), (std::vector<std::string>{"trailing\\"}));
}

}  // namespace
}  // namespace corvina
