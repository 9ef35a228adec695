#include "message/mime/MessageOptions.h"

#include "app/AccountProfile.h"
#include "app/AppState.h"
#include "common/CodePage.h"
#include "message/mime/MimeTypeTable.h"

namespace corvina {

std::shared_ptr<const MimeTypeTable> LoadMimeTypes(const ConfigStore& store) {
    auto table = std::make_shared<MimeTypeTable>();
    table->LoadFromConfig(store);
    return table;
}

std::function<void(AppState&)> MimeTypesLoader(const ConfigStore& store) {
    return [&store](AppState& state) { state.mimeTypes = LoadMimeTypes(store); };
}

const MimeTypeTable& BuiltInMimeTypes() {
    static const MimeTypeTable table;
    return table;
}

const MimeTypeTable& MimeTypesOf(const AppState& state) {
    return state.mimeTypes ? *state.mimeTypes : BuiltInMimeTypes();
}

ParseOptions IncomingParseOptions(const MimeTypeTable& types, bool autoWrap,
                                  const AccountProfile& account,
                                  const std::filesystem::path& mailboxDirectory) {
    ParseOptions options;
    options.codePage = &CodePage::Working();
    options.types = &types;
    options.mailboxDirectory = mailboxDirectory;
    options.ownAddress = account.address;
    options.autoWrap = autoWrap;
    if (autoWrap) {
        options.breakSets = LineBreakSets::Defaults(CodePage::Working());
    }
    options.trustStoreLines = false;
    return options;
}

ParseOptions IncomingParseOptions(const AppState& state) {
    return IncomingParseOptions(MimeTypesOf(state), state.settings.autoWrap != 0, state.current,
                                state.mailboxDirectory);
}

}  // namespace corvina
