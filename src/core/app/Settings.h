#pragma once
// The values of section "Settings" (plus "Spell" and "Fonts") as one record,
// and the catalogue that names each value, its type, its default and the
// start-up step that reads it. Loading and write-back go through the
// catalogue only.

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace corvina {

class ConfigStore;

inline constexpr const char* kSettingsSection = "Settings";
inline constexpr const char* kSpellSection = "Spell";
inline constexpr const char* kFontsSection = "Fonts";

// Window show commands as stored in MainShowCmd.
inline constexpr int kShowHide = 0;
inline constexpr int kShowNormal = 1;
inline constexpr int kShowMinimized = 2;
inline constexpr int kShowMaximized = 3;
inline constexpr int kShowDefault = 5;  // the window system's "show normally"
inline constexpr int kShowMinimize = 6;
inline constexpr int kShowMinNoActive = 7;

// Placement values never saved: the window system picks position and size.
inline constexpr int kPlacementUnset = -1;

// A configurable font. size == 0 means "not configured, use the built-in
// font"; the other fields are then left at zero / empty.
struct FontDescription {
    std::string face;  // default "FixedSys" once size is non-zero
    int size = 0;      // tenths of a point
    int weight = 0;    // 700 = bold
    int italic = 0;    // 1 = italic

    bool IsConfigured() const { return size != 0; }
    bool operator==(const FontDescription&) const = default;
};

struct Fonts {
    FontDescription text;   // message text ("Text*")
    FontDescription print;  // printing ("Print*")
    FontDescription stat;   // status bar ("Stat*")
    bool operator==(const Fonts&) const = default;
};

struct Settings {
    int codePage = 0;  // default: the system code page
    int wordWrap = 0;  // default: the editor's automatic line split
    int turnOffCtrl = 0;
    int maximizeVert = 0;
    int leaveLog = 0;
    int mainShowCmd = kShowDefault;
    int mainLeft = kPlacementUnset;
    int mainTop = kPlacementUnset;
    int mainWidth = kPlacementUnset;
    int mainHeight = kPlacementUnset;
    int paneWidth1 = kPlacementUnset;
    int paneHeight1 = kPlacementUnset;
    std::string localPass;  // plain form; scrambled in the store
    int passIcon = 0;
    int alwaysRead = 0;
    std::string homeDir;         // stored text; ends in "/" once loaded
    std::string initialOpenDir;  // default: the home directory
    std::string attachOpenDir;
    std::string attachSaveDir;
    int defUser = 0;
    std::string sitation = "> ";
    int siteOnReply = 0;
    int autoFilter = 1;
    int exitFilter = 0;
    int withName = 0;
    int realName = 0;
    int selFirst = 1;
    int sendMode = 0;  // 0 all OutBoxes via each server, 1 via current server, 2 current only
    int sendDate = 1;  // on by default: submission servers add no Date
    int checkRcpt = 0;
    int checkAfterSend = 0;
    int noMailNotify = 0;
    int skipError = 0;
    int delTrash = 0;
    int popUp = 0;
    int askPopUp = 0;
    int noOfflnChk = 0;
    int startupCheck = 0;
    int warnOutBox = 1;
    int autoWrap = 0;
    int eucReceive = 0;
    int hideReference = 0;
    int replyNumber = 1;
    int deliverOnReceive = 0;
    int checkMail = 1;  // 0 = every `minutes` minutes, 1 = never
    int minutes = 15;
    int defMail = 0;
    int defUrl = 0;
    int toolTips = 1;
    int longTreeView = 1;
    int msgThread = 0;
    int hideIcon = 0;
    std::string soundFile;  // empty = system beep
    int halfPage = 0;
    int scrollType = 0;
    std::array<int, 4> colWidth{};  // "Col0Width" .. "Col3Width"
    int defEncode = 0;
    int compactBack = 1;
    int timeout = 120;  // seconds without an answer before a session fails; 0 = wait forever
    int maxMessageSize = 0;  // bytes; larger messages stay on the server; 0 = no limit

    // Section "Spell"
    int american = 1;
    int british = 0;

    // Section "Fonts"
    Fonts fonts;

    bool operator==(const Settings&) const = default;
};

enum class SettingType { kInt, kString, kScrambled };

// Where a value's default comes from when it is not a fixed one.
enum class SettingDefault {
    kFixed,
    kSystemCodePage,  // CodePage
    kEditorWrap,      // WordWrap
    kShowCommand,     // MainShowCmd: the requested show command
    kHomeDirectory,   // the three file-dialog directories
};

// The start-up step that reads a value.
enum class SettingPhase {
    kCodePage,     // read before LoadSettings
    kPassword,     // LocalPass
    kEarly,        // PassIcon, AlwaysRead
    kHome,         // HomeDir
    kDirectories,  // the dialog directories and DefUser
    kCatalogue,    // Sitation .. CompactBack, Timeout, then Spell
    kColumns,      // Col%dWidth
    kEncoding,     // DefEncode
    kAfterLoad,    // WordWrap .. LeaveLog, read after LoadSettings
    kWindow,       // placement values, read by the main window
};

struct SettingEntry {
    const char* section;
    const char* name;
    SettingType type;
    int& (*intRef)(Settings&);             // set for kInt
    std::string& (*stringRef)(Settings&);  // set for kString / kScrambled
    int intDefault;
    const char* stringDefault;
    SettingDefault defaultFrom;
    SettingPhase phase;
};

// Every value of "Settings" and "Spell", in catalogue order.
std::span<const SettingEntry> SettingsCatalogue();
const SettingEntry* FindSetting(std::string_view name);

// What the context-dependent defaults resolve to.
struct SettingDefaults {
    int systemCodePage = 1252;
    int editorWrap = 0;
    int showCommand = kShowDefault;
    std::string homeDirectory;
};

// Reads every catalogue entry of the given phase into `settings`.
void LoadSettingPhase(const ConfigStore& store, SettingPhase phase, const SettingDefaults& defaults,
                      Settings& settings);

// Reads one font description ("Text", "Print" or "Stat"): the size, and only
// when it is non-zero the weight, italic flag and face.
FontDescription LoadFont(const ConfigStore& store, std::string_view prefix);
Fonts LoadFonts(const ConfigStore& store);
// Writes a font by WriteIfChanged rules; returns the number of values written.
int WriteFontIfChanged(ConfigStore& store, std::string_view prefix, FontDescription& inMemory,
                       const FontDescription& edited);

// Writes every catalogue value (and the fonts) of `edited` that differs from
// `inMemory`, updating `inMemory`; this is how the preferences are saved.
// Returns the number of values written.
int WriteSettingsIfChanged(ConfigStore& store, Settings& inMemory, const Settings& edited);

}  // namespace corvina
