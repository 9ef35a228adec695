#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "RecordingEditorHost.h"
#include "TestSupport.h"
#include "editor/KeyDispatcher.h"
#include "editor/KeyFile.h"
#include "editor/QtKeys.h"

namespace corvina {
namespace {

using enum EditorCommand;
using D = KeyDisposition;

constexpr KeyModifiers kPlain{};
constexpr KeyModifiers kCtrl{.ctrl = true};
constexpr KeyModifiers kShift{.shift = true};
constexpr KeyModifiers kAlt{.alt = true};

struct Stroke {
    int key;
    KeyModifiers modifiers = kPlain;
};

// A dispatcher on a three-line editor with bindings of its own; the view
// command sink records the commands and moves the caret for CsrDown.
struct Keys {
    explicit Keys(bool shiftSelect = true)
        : t("one\ntwo\nthree\n", CodePage::kShiftJis,
            [shiftSelect] {
                EditorOptions options;
                options.shiftSelect = shiftSelect;
                return options;
            }()),
          dispatcher(t.editor, t.host, t.options, bindings) {
        KeyDispatcher::ResetPendingPrefix();
        dispatcher.SetViewCommandSink([this](EditorCommand command) {
            commands.push_back(command);
            if (command == kCsrDown) {
                t.editor.CaretDown();
            }
        });
        dispatcher.SetStopContinuousScroll([this] { ++scrollStops; });
    }
    std::vector<KeyDisposition> Press(const std::vector<Stroke>& strokes) {
        std::vector<KeyDisposition> out;
        for (const Stroke& s : strokes) {
            out.push_back(dispatcher.KeyDown(s.key, s.modifiers, context));
        }
        return out;
    }
    std::vector<int> Posted() const { return t.host.frameCommands; }

    KeyBindings bindings;
    test::TestEditor t;
    KeyDispatcher dispatcher;
    KeyContext context;
    std::vector<EditorCommand> commands;
    int scrollStops = 0;
};

TEST(KeyDispatch, TwoStrokeKeys) {
    const struct {
        std::string_view what;
        std::vector<Stroke> strokes;
        std::vector<EditorCommand> commands;
        std::vector<KeyDisposition> dispositions;
    } cases[] = {
        {"Ctrl+K then L", {{'K', kCtrl}, {'L'}}, {kChangeCase}, {}},
        {"Ctrl+K then Ctrl+L", {{'K', kCtrl}, {'L', kCtrl}}, {kChangeCase}, {}},
        {"Shift between", {{'K', kCtrl}, {kVkShift, kShift}, {'L', kShift}}, {kChangeCase}, {}},
        {"a digit ends the prefix and is typed",
         {{'K', kCtrl}, {'1'}, {'L', kCtrl}},
         {kChgCaseOne},
         {D::kConsumed, D::kPassOn, D::kConsumed}},
        {"Ctrl+K then Down is Down", {{'K', kCtrl}, {kVkDown}}, {kCsrDown}, {}},
        {"an unbound K^X is not typed", {{'K', kCtrl}, {'X'}}, {}, {D::kConsumed, D::kConsumed}},
        {"the keyboard's ] key", {{'Q', kCtrl}, {221, kCtrl}}, {kTitleMark}, {}},
        {"the keyboard's [ and _ keys", {{219, kCtrl}, {226, kCtrl}}, {kInputCtrl, kGetWord}, {}},
    };
    for (const auto& c : cases) {
        Keys keys;
        const std::vector<KeyDisposition> dispositions = keys.Press(c.strokes);
        EXPECT_EQ(keys.commands, c.commands) << c.what;
        if (!c.dispositions.empty()) {
            EXPECT_EQ(dispositions, c.dispositions) << c.what;
        }
        // A prefix shows in the status bar until the next key clears it.
        const int first = c.strokes[0].key;
        std::vector<std::string> statuses;
        if (first == 'K' || first == 'Q') {
            statuses = {std::string("Ctrl+") + static_cast<char>(first) + '^', ""};
        }
        EXPECT_EQ(keys.t.host.statuses, statuses) << c.what;
    }
}

TEST(KeyDispatch, KeyFileChangesPrefixesAndBindings) {
    Keys keys;
    test::ScratchDir dir;
    test::WriteFileBytes(dir / "Ilka.KEY", "TwoStroke KQ\r\nCsrUp\r\n");
    ASSERT_TRUE(LoadKeyFile(dir / "Ilka.KEY", keys.bindings));
    // Ctrl+O is no prefix and binds nothing; Up lost its command.
    EXPECT_EQ(keys.Press({{'O', kCtrl}, {kVkUp}}), (std::vector{D::kPassOn, D::kPassOn}));
    EXPECT_TRUE(keys.t.host.statuses.empty());
    keys.Press({{'K', kCtrl}, {'L'}, {'K', kCtrl}, {'L', kCtrl}});
    EXPECT_EQ(keys.commands, (std::vector{kChangeCase, kChangeCase}));
}

TEST(KeyDispatch, EarlierRowWinsASharedKey) {
    Keys keys;
    keys.bindings.Rebind("SelectAll", ParseKeyName("Ctrl+L"), kNoKey);  // after ChgCaseOne
    keys.Press({{'L', kCtrl}});
    keys.bindings.Rebind("CsrUp", ParseKeyName("Ctrl+L"), kNoKey);  // before it
    keys.Press({{'L', kCtrl}});
    EXPECT_EQ(keys.commands, (std::vector{kChgCaseOne, kCsrUp}));
    EXPECT_EQ(keys.dispatcher.LastCommand(), kCsrUp);
}

TEST(KeyDispatch, ShiftSelect) {
    Keys on;
    EXPECT_EQ(on.Press({{kVkDown, kShift}}), (std::vector{D::kConsumed}));
    EXPECT_EQ(on.commands, (std::vector{kCsrDown}));
    EXPECT_EQ(on.t.editor.SelectedText(), "one\n");

    Keys off(false);  // Shift+Down is a key of its own, bound to nothing
    EXPECT_EQ(off.Press({{kVkDown, kShift}}), (std::vector{D::kPassOn}));
    EXPECT_TRUE(off.commands.empty());
    EXPECT_FALSE(off.t.editor.HasSelection());

    Keys atEnd;  // the caret cannot move: the empty selection goes
    atEnd.t.editor.MoveCaretTo(2, 0);
    atEnd.Press({{kVkDown, kShift}});
    EXPECT_FALSE(atEnd.t.editor.HasSelection());

    // Shift belongs to Shift+BS and Shift+F3, and to every Alt key: SAlt+PgDn
    // is HalfPageUp and Alt+Shift selects nothing.
    Keys keys;
    keys.Press({{kVkBack, kShift}, {kVkF1 + 2, kShift}, {kVkNext, {.shift = true, .alt = true}}});
    EXPECT_EQ(keys.commands, (std::vector{kWordBS, kHalfPageUp}));
    EXPECT_EQ(keys.Posted(), (std::vector{CommandNumber(kSearchPrev)}));
    EXPECT_FALSE(keys.t.editor.HasSelection());
}

TEST(KeyDispatch, ViewerRowsComeFirstInReadOnlyMode) {
    Keys viewer;
    viewer.context.readOnly = true;
    viewer.Press({{'R', kCtrl}, {'C', kCtrl}});
    EXPECT_EQ(viewer.Posted(), (std::vector{CommandNumber(kMailReply)}));
    EXPECT_EQ(viewer.commands, (std::vector{kEditCopy}));

    Keys edit;
    edit.Press({{'R', kCtrl}});
    EXPECT_TRUE(edit.Posted().empty());
    EXPECT_EQ(edit.commands, (std::vector{kRepeat}));
}

TEST(KeyDispatch, SelectionTurnsTabAndShiftDelIntoParagraphCommands) {
    const struct {
        Stroke stroke;
        EditorCommand withSelection, without;
    } cases[] = {
        {{kVkTab}, kIndent, kInsertTab},
        {{kVkTab, kShift}, kBackInd, kNone},  // NextPane, posted to the frame
        {{kVkDelete, kShift}, kEditCut, kWordDel},
    };
    for (const auto& c : cases) {
        Keys with;
        with.t.editor.SelectRange({0, 0}, {1, 0});
        with.Press({c.stroke});
        EXPECT_EQ(with.commands, (std::vector{c.withSelection}));
        EXPECT_TRUE(with.Posted().empty());

        Keys without;
        without.Press({c.stroke});
        EXPECT_EQ(without.commands.empty(), c.without == kNone);
        EXPECT_EQ(without.Posted().empty(), c.without != kNone);
    }
}

TEST(KeyDispatch, FrameCommandsCommitTheOpenLine) {
    for (Stroke stroke : {Stroke{kVkEscape}, Stroke{'F', kCtrl}}) {
        Keys keys;
        keys.t.editor.TypeChar('X');
        ASSERT_EQ(keys.t.message.bodyLines[0].Content(), "one");
        keys.Press({stroke});
        EXPECT_EQ(keys.t.message.bodyLines[0].Content(), "Xone");
        EXPECT_EQ(keys.Posted().size(), 1u);
    }
    Keys keys;  // ESC needs no row; Shift+ESC is a key of its own
    keys.bindings.Rebind("NextPane", kNoKey, kNoKey);
    keys.Press({{kVkEscape}, {kVkEscape, kShift}});
    EXPECT_EQ(keys.Posted(), (std::vector{CommandNumber(kNextPane)}));
}

TEST(KeyDispatch, KeysBeforeTheTable) {
    const int kPage = CommandNumber(kNextPageOrMessage);
    const struct {
        Stroke stroke;
        KeyContext context;
        KeyDisposition disposition;
        std::vector<int> posted;
    } cases[] = {
        {{kVkSpace}, {.readOnly = true}, D::kConsumedDropCharacters, {kPage}},
        {{kVkProcessKey}, {.readOnly = true}, D::kConsumedDropCharacters, {kPage}},
        {{kVkSpace, kAlt}, {.readOnly = true}, D::kPassOn, {}},
        {{kVkSpace}, {}, D::kPassOn, {}},  // typed
        {{kVkReturn}, {.frameMinimised = true}, D::kRestoreFrame, {}},
        {{'A', kCtrl}, {.inputCtrlPending = true}, D::kPassOn, {}},  // typed as ^A
        {{'A', kShift}, {}, D::kPassOn, {}},
    };
    for (const auto& c : cases) {
        Keys keys;
        keys.context = c.context;
        EXPECT_EQ(keys.Press({c.stroke}), (std::vector{c.disposition})) << c.stroke.key;
        EXPECT_EQ(keys.Posted(), c.posted) << c.stroke.key;
        EXPECT_TRUE(keys.commands.empty()) << c.stroke.key;
    }
    // Shift, Ctrl, Alt, Pause, Caps Lock and the input method's keys.
    Keys keys;
    for (int key : {kVkShift, kVkControl, kVkMenu, kVkPause, kVkCapital, 25, kVkProcessKey}) {
        EXPECT_EQ(keys.Press({{key, kCtrl}}), (std::vector{D::kPassOn})) << key;
    }
    EXPECT_EQ(keys.dispatcher.KeyRepeat(), 0);
}

TEST(KeyDispatch, KeyRepeatCountsDispatchedKeysUpToAHundred) {
    Keys keys;
    keys.Press({{kVkDown}, {kVkUp}, {'A'}});
    EXPECT_EQ(std::pair(keys.dispatcher.KeyRepeat(), keys.scrollStops), std::pair(2, 2));
    keys.dispatcher.KeyUp(true);
    EXPECT_EQ(keys.dispatcher.KeyRepeat(), 2);
    keys.dispatcher.KeyUp(false);
    EXPECT_EQ(keys.dispatcher.KeyRepeat(), 0);
    keys.Press(std::vector<Stroke>(150, Stroke{kVkF1 + 11}));
    EXPECT_EQ(keys.dispatcher.KeyRepeat(), KeyDispatcher::kMaxKeyRepeat);
}

int VirtualKeyOf(int qtKey) {
    const auto key = TranslateQtKey(qtKey, 0);
    return key ? key->virtualKey : -1;
}

TEST(QtKeys, TranslationTable) {
    // Letters, digits and "@[\]^_" keep their codes.
    for (int qtKey : {'A', 'Z', '0', '9', '@', '[', '\\', ']', '^', '_'}) {
        EXPECT_EQ(VirtualKeyOf(qtKey), qtKey);
    }
    // Lower case never comes from Qt; Meta, F25 and unknown keys have no
    // virtual key (-1).
    // clang-format off
    const std::pair<int, int> special[] = {
        {qtkey::kBackspace, kVkBack}, {qtkey::kBacktab, kVkTab}, {qtkey::kReturn, kVkReturn},
        {qtkey::kEnter, kVkReturn}, {qtkey::kEscape, kVkEscape}, {qtkey::kSpace, kVkSpace},
        {qtkey::kPageUp, kVkPrior}, {qtkey::kPageDown, kVkNext}, {qtkey::kHome, kVkHome},
        {qtkey::kDown, kVkDown}, {qtkey::kInsert, kVkInsert}, {qtkey::kDelete, kVkDelete},
        {qtkey::kF1 + 9, kVkF1 + 9}, {qtkey::kF24, kVkF24}, {qtkey::kControl, kVkControl},
        {qtkey::kAlt, kVkMenu}, {qtkey::kPause, kVkPause}, {qtkey::kCapsLock, kVkCapital},
        {'a', -1}, {'{', -1}, {qtkey::kMeta, -1}, {qtkey::kF24 + 1, -1}, {0x01ffffff, -1}};
    // clang-format on
    for (auto [qtKey, virtualKey] : special) {
        EXPECT_EQ(VirtualKeyOf(qtKey), virtualKey) << std::hex << qtKey;
    }

    const auto modifiers = [](int qtKey, unsigned qtModifiers) {
        const KeyModifiers m = TranslateQtKey(qtKey, qtModifiers)->modifiers;
        return std::string(m.ctrl ? "C" : "") + (m.shift ? "S" : "") + (m.alt ? "A" : "");
    };
    EXPECT_EQ(modifiers('A', qtkey::kControlModifier | qtkey::kShiftModifier), "CS");
    EXPECT_EQ(modifiers(qtkey::kDown, qtkey::kAltModifier | qtkey::kKeypadModifier), "A");
    EXPECT_EQ(modifiers(qtkey::kSpace, qtkey::kMetaModifier), "");
    EXPECT_EQ(modifiers(qtkey::kBacktab, 0), "S");  // Backtab is Shift+Tab
}

}  // namespace
}  // namespace corvina
