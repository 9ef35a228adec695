#pragma once
// The one rule by which edited settings reach the configuration store: a
// value is written, and the value in memory replaced, only when the new value
// differs from the one in memory. Integers compare by value, strings byte for
// byte; passwords compare in plain form and are written scrambled. The store
// keeps writes in memory until its Save().

#include <string>
#include <string_view>

namespace corvina {

class ConfigStore;

// Each returns true when it wrote.
bool WriteIfChanged(ConfigStore& store, std::string_view section, std::string_view name,
                    int& inMemory, int newValue);
bool WriteIfChanged(ConfigStore& store, std::string_view section, std::string_view name,
                    std::string& inMemory, std::string_view newValue);
bool WritePasswordIfChanged(ConfigStore& store, std::string_view section, std::string_view name,
                            std::string& inMemory, std::string_view newPlain);

}  // namespace corvina
