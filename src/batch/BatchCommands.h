#pragma once
// The batch commands on a loaded application state (settings read, profile
// selected). Each returns the exit status.

namespace corvina {

class ConfigStore;
struct AppState;
struct BatchOptions;
struct BatchStreams;

int RunLoadedCommand(const BatchOptions& options, const BatchStreams& streams,
                     const ConfigStore& store, AppState& state);

}  // namespace corvina
