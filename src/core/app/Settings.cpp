#include "app/Settings.h"

#include <strings.h>

#include "app/PasswordScrambler.h"
#include "app/WriteIfChanged.h"
#include "platform/ConfigStore.h"

namespace corvina {

namespace {

using Phase = SettingPhase;
using From = SettingDefault;

#define CORVINA_INT(section, name, field, def, from, phase)                                     \
    SettingEntry {                                                                              \
        section, name, SettingType::kInt, [](Settings& s) -> int& { return s.field; }, nullptr, \
            def, nullptr, from, phase                                                           \
    }
#define CORVINA_STR(type, name, field, def, from, phase)                             \
    SettingEntry {                                                                   \
        kSettingsSection, name, type, nullptr,                                       \
            [](Settings& s) -> std::string& { return s.field; }, 0, def, from, phase \
    }
#define S_INT(name, field, def, phase) \
    CORVINA_INT(kSettingsSection, name, field, def, From::kFixed, phase)
#define S_STR(name, field, def, phase) \
    CORVINA_STR(SettingType::kString, name, field, def, From::kFixed, phase)

// In the order of the settings catalogue; LoadSettings reads each phase in
// this order.
const SettingEntry kCatalogue[] = {
    CORVINA_INT(kSettingsSection, "CodePage", codePage, 0, From::kSystemCodePage, Phase::kCodePage),
    CORVINA_INT(kSettingsSection, "WordWrap", wordWrap, 0, From::kEditorWrap, Phase::kAfterLoad),
    S_INT("TurnOffCtrl", turnOffCtrl, 0, Phase::kAfterLoad),
    S_INT("MaximizeVert", maximizeVert, 0, Phase::kAfterLoad),
    S_INT("LeaveLog", leaveLog, 0, Phase::kAfterLoad),
    CORVINA_INT(kSettingsSection, "MainShowCmd", mainShowCmd, kShowDefault, From::kShowCommand,
                Phase::kWindow),
    S_INT("MainLeft", mainLeft, kPlacementUnset, Phase::kWindow),
    S_INT("MainTop", mainTop, kPlacementUnset, Phase::kWindow),
    S_INT("MainWidth", mainWidth, kPlacementUnset, Phase::kWindow),
    S_INT("MainHeight", mainHeight, kPlacementUnset, Phase::kWindow),
    S_INT("PaneWidth1", paneWidth1, kPlacementUnset, Phase::kWindow),
    S_INT("PaneHeight1", paneHeight1, kPlacementUnset, Phase::kWindow),
    CORVINA_STR(SettingType::kScrambled, "LocalPass", localPass, "", From::kFixed,
                Phase::kPassword),
    S_INT("PassIcon", passIcon, 0, Phase::kEarly),
    S_INT("AlwaysRead", alwaysRead, 0, Phase::kEarly),
    S_STR("HomeDir", homeDir, "", Phase::kHome),
    CORVINA_STR(SettingType::kString, "InitialOpenDir", initialOpenDir, "", From::kHomeDirectory,
                Phase::kDirectories),
    CORVINA_STR(SettingType::kString, "AttachOpenDir", attachOpenDir, "", From::kHomeDirectory,
                Phase::kDirectories),
    CORVINA_STR(SettingType::kString, "AttachSaveDir", attachSaveDir, "", From::kHomeDirectory,
                Phase::kDirectories),
    S_INT("DefUser", defUser, 0, Phase::kDirectories),
    S_STR("Sitation", sitation, "> ", Phase::kCatalogue),
    S_INT("SiteOnReply", siteOnReply, 0, Phase::kCatalogue),
    S_INT("AutoFilter", autoFilter, 1, Phase::kCatalogue),
    S_INT("ExitFilter", exitFilter, 0, Phase::kCatalogue),
    S_INT("WithName", withName, 0, Phase::kCatalogue),
    S_INT("RealName", realName, 0, Phase::kCatalogue),
    S_INT("SelFirst", selFirst, 1, Phase::kCatalogue),
    S_INT("SendMode", sendMode, 0, Phase::kCatalogue),
    // On by default: submission servers add no Date to mail from a remote
    // client, and a message without one is malformed.
    S_INT("SendDate", sendDate, 1, Phase::kCatalogue),
    S_INT("CheckRcpt", checkRcpt, 0, Phase::kCatalogue),
    S_INT("CheckAfterSend", checkAfterSend, 0, Phase::kCatalogue),
    S_INT("NoMailNotify", noMailNotify, 0, Phase::kCatalogue),
    S_INT("SkipError", skipError, 0, Phase::kCatalogue),
    S_INT("DelTrash", delTrash, 0, Phase::kCatalogue),
    S_INT("PopUp", popUp, 0, Phase::kCatalogue),
    S_INT("AskPopUp", askPopUp, 0, Phase::kCatalogue),
    S_INT("NoOfflnChk", noOfflnChk, 0, Phase::kCatalogue),
    S_INT("StartupCheck", startupCheck, 0, Phase::kCatalogue),
    S_INT("WarnOutBox", warnOutBox, 1, Phase::kCatalogue),
    S_INT("AutoWrap", autoWrap, 0, Phase::kCatalogue),
    S_INT("EUCReceive", eucReceive, 0, Phase::kCatalogue),
    S_INT("HideReference", hideReference, 0, Phase::kCatalogue),
    S_INT("ReplyNumber", replyNumber, 1, Phase::kCatalogue),
    S_INT("DeliverOnReceive", deliverOnReceive, 0, Phase::kCatalogue),
    S_INT("CheckMail", checkMail, 1, Phase::kCatalogue),
    S_INT("Minutes", minutes, 15, Phase::kCatalogue),
    S_INT("DefMail", defMail, 0, Phase::kCatalogue),
    S_INT("DefURL", defUrl, 0, Phase::kCatalogue),
    S_INT("ToolTips", toolTips, 1, Phase::kCatalogue),
    S_INT("LongTreeView", longTreeView, 1, Phase::kCatalogue),
    S_INT("MsgThread", msgThread, 0, Phase::kCatalogue),
    S_INT("HideIcon", hideIcon, 0, Phase::kCatalogue),
    S_STR("SoundFile", soundFile, "", Phase::kCatalogue),
    S_INT("HalfPage", halfPage, 0, Phase::kCatalogue),
    S_INT("ScrollType", scrollType, 0, Phase::kCatalogue),
    S_INT("Col0Width", colWidth[0], 0, Phase::kColumns),
    S_INT("Col1Width", colWidth[1], 0, Phase::kColumns),
    S_INT("Col2Width", colWidth[2], 0, Phase::kColumns),
    S_INT("Col3Width", colWidth[3], 0, Phase::kColumns),
    S_INT("DefEncode", defEncode, 0, Phase::kEncoding),
    S_INT("CompactBack", compactBack, 1, Phase::kCatalogue),
    S_INT("Timeout", timeout, 120, Phase::kCatalogue),
    S_INT("MaxMessageSize", maxMessageSize, 0, Phase::kCatalogue),
    CORVINA_INT(kSpellSection, "American", american, 1, From::kFixed, Phase::kCatalogue),
    CORVINA_INT(kSpellSection, "British", british, 0, From::kFixed, Phase::kCatalogue),
};

#undef S_STR
#undef S_INT
#undef CORVINA_STR
#undef CORVINA_INT

int IntDefault(const SettingEntry& entry, const SettingDefaults& defaults) {
    switch (entry.defaultFrom) {
        case From::kSystemCodePage:
            return defaults.systemCodePage;
        case From::kEditorWrap:
            return defaults.editorWrap;
        case From::kShowCommand:
            return defaults.showCommand;
        default:
            return entry.intDefault;
    }
}

std::string StringDefault(const SettingEntry& entry, const SettingDefaults& defaults) {
    if (entry.defaultFrom == From::kHomeDirectory)
        return defaults.homeDirectory;
    return entry.stringDefault ? entry.stringDefault : "";
}

std::string FontKey(std::string_view prefix, std::string_view suffix) {
    std::string key(prefix);
    key += suffix;
    return key;
}

}  // namespace

std::span<const SettingEntry> SettingsCatalogue() {
    return kCatalogue;
}

const SettingEntry* FindSetting(std::string_view name) {
    for (const SettingEntry& entry : kCatalogue) {
        std::string_view entryName = entry.name;
        if (entryName.size() == name.size() &&
            strncasecmp(entryName.data(), name.data(), name.size()) == 0) {
            return &entry;
        }
    }
    return nullptr;
}

void LoadSettingPhase(const ConfigStore& store, SettingPhase phase, const SettingDefaults& defaults,
                      Settings& settings) {
    for (const SettingEntry& entry : kCatalogue) {
        if (entry.phase != phase)
            continue;
        switch (entry.type) {
            case SettingType::kInt:
                entry.intRef(settings) =
                    store.GetInt(entry.section, entry.name, IntDefault(entry, defaults));
                break;
            case SettingType::kString:
                entry.stringRef(settings) =
                    store.GetString(entry.section, entry.name, StringDefault(entry, defaults));
                break;
            case SettingType::kScrambled:
                entry.stringRef(settings) = UnscramblePassword(
                    store.GetString(entry.section, entry.name, StringDefault(entry, defaults)));
                break;
        }
    }
}

FontDescription LoadFont(const ConfigStore& store, std::string_view prefix) {
    FontDescription font;
    font.size = store.GetInt(kFontsSection, FontKey(prefix, "Size"), 0);
    if (font.size == 0)
        return font;
    font.weight = store.GetInt(kFontsSection, FontKey(prefix, "Bold"), 0);
    font.italic = store.GetInt(kFontsSection, FontKey(prefix, "Italic"), 0);
    font.face = store.GetString(kFontsSection, prefix, "FixedSys");
    return font;
}

Fonts LoadFonts(const ConfigStore& store) {
    Fonts fonts;
    fonts.text = LoadFont(store, "Text");
    fonts.print = LoadFont(store, "Print");
    fonts.stat = LoadFont(store, "Stat");
    return fonts;
}

int WriteFontIfChanged(ConfigStore& store, std::string_view prefix, FontDescription& inMemory,
                       const FontDescription& edited) {
    int written = 0;
    if (WriteIfChanged(store, kFontsSection, FontKey(prefix, "Size"), inMemory.size, edited.size)) {
        ++written;
    }
    // The other values mean nothing while the size is zero.
    if (edited.size == 0)
        return written;
    written += WriteIfChanged(store, kFontsSection, FontKey(prefix, "Bold"), inMemory.weight,
                              edited.weight);
    written += WriteIfChanged(store, kFontsSection, FontKey(prefix, "Italic"), inMemory.italic,
                              edited.italic);
    written += WriteIfChanged(store, kFontsSection, prefix, inMemory.face, edited.face);
    return written;
}

int WriteSettingsIfChanged(ConfigStore& store, Settings& inMemory, const Settings& edited) {
    // The accessors select a member of a mutable record, so read from a copy.
    Settings source = edited;
    int written = 0;
    for (const SettingEntry& entry : kCatalogue) {
        bool wrote = false;
        switch (entry.type) {
            case SettingType::kInt:
                wrote = WriteIfChanged(store, entry.section, entry.name, entry.intRef(inMemory),
                                       entry.intRef(source));
                break;
            case SettingType::kString:
                wrote = WriteIfChanged(store, entry.section, entry.name, entry.stringRef(inMemory),
                                       entry.stringRef(source));
                break;
            case SettingType::kScrambled:
                wrote = WritePasswordIfChanged(store, entry.section, entry.name,
                                               entry.stringRef(inMemory), entry.stringRef(source));
                break;
        }
        if (wrote)
            ++written;
    }
    written += WriteFontIfChanged(store, "Text", inMemory.fonts.text, edited.fonts.text);
    written += WriteFontIfChanged(store, "Print", inMemory.fonts.print, edited.fonts.print);
    written += WriteFontIfChanged(store, "Stat", inMemory.fonts.stat, edited.fonts.stat);
    return written;
}

}  // namespace corvina
