#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "TestSupport.h"
#include "editor/CommandTable.h"
#include "editor/EditorOptions.h"
#include "editor/KeyCodes.h"
#include "editor/KeyFile.h"

namespace corvina {
namespace {

using test::ScratchDir;

TEST(KeyNames, EveryTableNameRoundTripsWithEveryModifier) {
    std::set<KeyCode> codes;
    for (int i = 0; i < kKeyNameCount; ++i) {
        const std::string name(KeyNameAt(i));
        for (std::string prefix : {"", "Ctrl+", "Shift+", "SCtrl+", "SAlt+", "Alt+"}) {
            const KeyCode code = ParseKeyName(prefix + name);
            EXPECT_EQ(KeyCodeName(code), prefix + name);
            codes.insert(code);
        }
    }
    EXPECT_EQ(codes.size(), 6u * kKeyNameCount);
    EXPECT_EQ(KeyNameAt(kKeyNameCount), "");
    // Codes no name writes: none, unknown modifier classes.
    EXPECT_EQ(KeyCodeName(kNoKey) + KeyCodeName(0x8041) + KeyCodeName(0xFE90), "");
    EXPECT_EQ(KeyCodeName(0x2031), "Ctrl+1");
}

TEST(KeyNames, GrammarCases) {
    const struct {
        std::string_view name;
        KeyCode code;
    } cases[] = {
        {"K^L", 0x0C4B},
        {"Ctrl+K^L", 0x0C4B},  // the modifier of a two-stroke key is dropped
        {"Q^\\", 0x1C51},
        {"F1", 0xFF70},
        {"F10", 0xFF79},
        {"f1", kNoKey},  // case-sensitive: no key
        {"Ctrl+f1", 0x20FF},
        {"ctrl+Up", kNoKey},  // an unknown prefix leaves the whole name
        {"Upx", kNoKey},
        {"SCtrl+Up", 0x6026},
        {"SAlt+PgDn", 0xFD22},
        {"Shift+F3", 0x4072},
        {"Ctrl+[", 0x205B},
        {"1", 0xFF31},  // any single character stands for itself
        {"Ctrl+", 0x20FF},
        {"", kNoKey},
        // A second key outside "A".."_" would make an ordinary key: "K^`"
        // would be Ctrl+K, "K^?" plain K.
        {"K^`", kNoKey},
        {"K^?", kNoKey},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseKeyName(c.name), c.code) << c.name;
    }
}

// Writing the built-in keys by name and reading them back gives the table
// again: the names and the grammar agree on every default key.
TEST(KeyFile, DefaultKeysRoundTripThroughTheKeyFile) {
    const KeyBindings defaults;
    std::string text;
    KeyBindings unbound;
    for (const CommandRow& row : defaults.Rows()) {
        ASSERT_FALSE(row.key1 == kNoKey && row.key2 != kNoKey) << row.name;
        text += std::string(row.name) + " " + KeyCodeName(row.key1) + "\t" + KeyCodeName(row.key2) +
                "\r\n";
        unbound.Rebind(row.name, kNoKey, kNoKey);
    }
    ScratchDir dir;
    test::WriteFileBytes(dir / "Ilka.KEY", text);
    ASSERT_TRUE(LoadKeyFile(dir / "Ilka.KEY", unbound));
    ASSERT_EQ(unbound.Rows().size(), kCommandRowCount);
    for (std::size_t i = 0; i < kCommandRowCount; ++i) {
        EXPECT_EQ(unbound.Rows()[i].key1, defaults.Rows()[i].key1) << defaults.Rows()[i].name;
        EXPECT_EQ(unbound.Rows()[i].key2, defaults.Rows()[i].key2) << defaults.Rows()[i].name;
    }
}

TEST(KeyFile, LineRules) {
    const struct {
        std::string_view what;
        std::string_view text;
        std::string_view row;
        KeyCode key1, key2;
    } cases[] = {
        {"a name alone unbinds", "CsrUp\r\n", "CsrUp", kNoKey, kNoKey},
        {"a missing second key", "WordRight Ctrl+Right\r\n", "WordRight", 0x2027, kNoKey},
        {"TABs and LF", "CsrUp\tDown\t Ctrl+E\n", "CsrUp", 0xFF28, 0x2045},
        {"no line end at the end", "CsrUp Down", "CsrUp", 0xFF28, kNoKey},
        {"an unknown key binds nothing", "CsrUp Upp Ctrl+Upp\r\n", "CsrUp", kNoKey, 0x20FF},
        {"unknown command", "CsrUpp Down\r\n", "CsrUp", 0xFF26, kNoKey},
        {"command names are case-sensitive", "csrup Down\r\n", "CsrUp", 0xFF26, kNoKey},
        {"more than three tokens", "CsrUp Down Up Left\r\n", "CsrUp", 0xFF26, kNoKey},
        {"the later line wins", "CsrUp Down\r\nCsrUp Left\r\n", "CsrUp", 0xFF25, kNoKey},
        {"a DOS end mark", "CsrUp Down\r\n\x1A", "CsrUp", 0xFF28, kNoKey},
        {"a viewer row is out of reach", "Reply Ctrl+Q\r\n", "Repeat", 0x2052, kNoKey},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        KeyBindings bindings;
        test::WriteFileBytes(dir / "Ilka.KEY", c.text);
        ASSERT_TRUE(LoadKeyFile(dir / "Ilka.KEY", bindings)) << c.what;
        const CommandRow* row = bindings.Row(c.row);
        EXPECT_EQ(std::pair(row->key1, row->key2), std::pair(c.key1, c.key2)) << c.what;
    }
}

TEST(KeyFile, TwoStrokeSetsTenPrefixLettersAtMost) {
    ScratchDir dir;
    KeyBindings bindings;
    test::WriteFileBytes(dir / "Ilka.KEY", "TwoStroke ABCDEFGHIJKL\r\n");
    ASSERT_TRUE(LoadKeyFile(dir / "Ilka.KEY", bindings));
    EXPECT_EQ(std::string(bindings.Prefixes().begin(), bindings.Prefixes().end()), "ABCDEFGHIJ");
    test::WriteFileBytes(dir / "Ilka.KEY", "TwoStroke\r\n");
    ASSERT_TRUE(LoadKeyFile(dir / "Ilka.KEY", bindings));
    EXPECT_EQ(std::string(bindings.Prefixes().begin(), bindings.Prefixes().end()),
              std::string(KeyBindings::kPrefixSlots, '\xFF'));
}

// The part of a line beyond its 256 bytes is no line of its own: it must
// not unbind CsrLeft, nor may the cut head rebind EditCopy. A line of
// exactly 256 bytes still counts, and the lines after are read.
TEST(KeyFile, OverlongLineIsIgnoredWhole) {
    KeyBindings bindings;
    ASSERT_TRUE(LoadKeyFile(test::DataPath("editor/key-file-overlong-line.KEY"), bindings));
    EXPECT_EQ(bindings.Row("CsrLeft")->key1, ParseKeyName("Left"));
    EXPECT_EQ(bindings.Row("EditCopy")->key2, ParseKeyName("Ctrl+Ins"));
    EXPECT_EQ(bindings.Row("CsrRight")->key1, ParseKeyName("Ctrl+F"));
    EXPECT_EQ(bindings.Row("CsrUp")->key1, ParseKeyName("Ctrl+E"));
}

TEST(KeyFile, MissingOrUnnamedFileKeepsTheDefaults) {
    ScratchDir dir;
    KeyBindings bindings;
    EXPECT_FALSE(LoadKeyFile(dir / "absent.KEY", bindings));
    EXPECT_FALSE(LoadKeyFile(dir.Path(), bindings));  // a directory

    test::WriteFileBytes(dir / "Ilka.KEY", "CsrUp\r\n");
    EditorOptions options;
    options.keyDefinition = "";  // no key file at all
    EXPECT_FALSE(LoadKeyBindings(dir / "Ilka.INI", options, bindings));
    EXPECT_EQ(bindings.Row("CsrUp")->key1, ParseKeyName("Up"));

    std::filesystem::create_directory(dir / "keys");
    test::WriteFileBytes(dir / "keys" / "My.KEY", "CsrDown\r\n");
    options.keyDefinition = "keys/My.KEY";
    EXPECT_TRUE(LoadKeyBindings(dir / "Ilka.INI", options, bindings));
    EXPECT_EQ(bindings.Row("CsrDown")->key1, kNoKey);
    EXPECT_EQ(bindings.Row("CsrUp")->key1, ParseKeyName("Up"));
}

}  // namespace
}  // namespace corvina
