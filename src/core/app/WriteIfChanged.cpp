#include "app/WriteIfChanged.h"

#include "app/PasswordScrambler.h"
#include "platform/ConfigStore.h"

namespace corvina {

bool WriteIfChanged(ConfigStore& store, std::string_view section, std::string_view name,
                    int& inMemory, int newValue) {
    if (inMemory == newValue)
        return false;
    if (!store.SetInt(section, name, newValue))
        return false;
    inMemory = newValue;
    return true;
}

bool WriteIfChanged(ConfigStore& store, std::string_view section, std::string_view name,
                    std::string& inMemory, std::string_view newValue) {
    if (inMemory == newValue)
        return false;
    if (!store.SetString(section, name, newValue))
        return false;
    inMemory = std::string(newValue);
    return true;
}

bool WritePasswordIfChanged(ConfigStore& store, std::string_view section, std::string_view name,
                            std::string& inMemory, std::string_view newPlain) {
    if (inMemory == newPlain)
        return false;
    if (!store.SetString(section, name, ScramblePassword(newPlain)))
        return false;
    inMemory = std::string(newPlain);
    return true;
}

}  // namespace corvina
