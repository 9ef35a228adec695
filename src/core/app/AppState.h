#pragma once
// The application state of a run: settings, the profile table, the working
// values of the current profile and the directories derived from them. One
// instance per process (Application()); code that can take it as a
// parameter should.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/AccountProfile.h"
#include "app/Settings.h"

namespace corvina {

class MimeTypeTable;

struct AppState {
    Settings settings;
    ProfileTable profiles;

    // Working values: a copy of profiles[settings.defUser] made by
    // SelectProfile; transfer, composition and filtering read these.
    AccountProfile current;

    std::filesystem::path homeDirectory;         // settings.homeDir as a path
    std::filesystem::path mailboxDirectory;      // home / "User%d" (MailDirNo)
    std::filesystem::path addressBookDirectory;  // home / "AddrBook"
    std::string defaultGroup = "!Default";
    // The MIME type table of the settings, put here by the loader
    // (LoadContext::buildMimeTypes); null until then (the built-in rows).
    std::shared_ptr<const MimeTypeTable> mimeTypes;

    // Files to delete at shutdown (e.g. attachments opened for viewing).
    std::vector<std::filesystem::path> temporaryFiles;

    // True once start-up reached the running state; shutdown writes only then.
    bool running = false;

    void RegisterTemporaryFile(const std::filesystem::path& path) {
        temporaryFiles.push_back(path);
    }
};

// The process-wide state.
AppState& Application();

}  // namespace corvina
