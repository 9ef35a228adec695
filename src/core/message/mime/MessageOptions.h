#pragma once
// The settings that shape how messages are parsed and assembled, gathered
// in one place: the MIME type table of the settings (built-in rows and the
// "MimeType\..." rows) and AutoWrap reach every parser of incoming mail
// (the receive job, the batch commands, the restore of backup logs) and
// every assembler through these functions.

#include <filesystem>
#include <functional>
#include <memory>

#include "message/mime/MessageParser.h"

namespace corvina {

class ConfigStore;
class MimeTypeTable;
struct AccountProfile;
struct AppState;

// The built-in rows, then the "MimeType\..." rows of `store`.
std::shared_ptr<const MimeTypeTable> LoadMimeTypes(const ConfigStore& store);

// What a front end that reads `store` gives the settings loader
// (LoadContext::buildMimeTypes): it puts the table into AppState::mimeTypes.
std::function<void(AppState&)> MimeTypesLoader(const ConfigStore& store);

// The table of the settings; the built-in rows until one is loaded.
const MimeTypeTable& MimeTypesOf(const AppState& state);
const MimeTypeTable& BuiltInMimeTypes();

// How mail from outside (a server, a message file, a backup log) is parsed
// for `account`: its own messages are marked read, long lines are wrapped
// when `autoWrap` is on, attachments are named and typed by `types`, and
// the store's own lines are not trusted. `types` must outlive the options.
ParseOptions IncomingParseOptions(const MimeTypeTable& types, bool autoWrap,
                                  const AccountProfile& account,
                                  const std::filesystem::path& mailboxDirectory);
// The same for the current account of the run's settings.
ParseOptions IncomingParseOptions(const AppState& state);

}  // namespace corvina
