// The settings file may have been written by hand or damaged: loading any
// bytes must not crash, and what the store writes back must read back the
// same.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/ConfigStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    corvina::ConfigStore store;
    store.LoadFromText(text);
    for (const std::string& key : store.SubKeys("")) {
        for (const std::string& sub : store.SubKeys(key)) {
            (void)store.ValueNames(key + "\\" + sub);
        }
        for (const std::string& name : store.ValueNames(key)) {
            (void)store.GetInt(key, name, 0);
        }
    }

    // Written once, the text is stable: reading and writing it again
    // changes nothing.
    const std::string once = store.ToText();
    corvina::ConfigStore reread;
    reread.LoadFromText(once);
    if (reread.ToText() != once) {
        std::abort();
    }

    // Any bytes stored as a value come back exactly, beside the rest.
    const std::string value(text.substr(0, 512));
    if (store.SetString("Fuzz\\Key", "Value", value)) {
        corvina::ConfigStore back;
        back.LoadFromText(store.ToText());
        if (back.GetString("Fuzz\\Key", "Value") != value) {
            std::abort();
        }
    }
    store.DeleteKey("Fuzz");
    return 0;
}
