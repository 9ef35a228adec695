#pragma once
// Where things live on this machine: the private temporary directory,
// the user and host names, the program and data directories, the
// candidate home directory of a first start, and the runtime directory
// for the single-instance lock and socket.

#include <filesystem>
#include <optional>
#include <string>

namespace corvina {

// The per-user parent of the private temporary directories:
// $TMPDIR/corvina-<uid> (or /tmp/...), created mode 0700 when missing.
// Refused (nullopt) when it exists but is not a real directory owned by
// this user; a wider mode is narrowed to 0700.
std::optional<std::filesystem::path> PrivateTempParent();

// This process's own temporary directory (mkdtemp below
// PrivateTempParent(), mode 0700), created on the first call and the same
// for the rest of the process. Fixed work-file names go here, never into
// a shared /tmp.
std::optional<std::filesystem::path> PrivateTempDir();

// Asks that the private temporary directory, with its contents, be removed
// when the process exits normally. Only the process that created it
// removes it (a forked child does not).
void RemovePrivateTempDirAtExit();

// Removes the private temporary directory now (when created); a later
// PrivateTempDir() creates a fresh one.
void RemovePrivateTempDir();

// The login name of the effective user (getpwuid), else $USER, else "".
std::string UserName();

// The host name ("" when unavailable).
std::string HostName();

// The directory of the running program (/proc/self/exe).
std::optional<std::filesystem::path> ProgramDir();

// The directory of the shipped files: $CORVINA_DATA_DIR when set, else
// share/corvina beside the bin/ directory that holds the program
// (<prefix>/bin/corvina -> <prefix>/share/corvina). Not checked for
// existence.
std::optional<std::filesystem::path> DataDir();

// The home directory proposed at a first start:
// $XDG_DATA_HOME/corvina/<user>/ (default ~/.local/share/corvina/<user>/),
// "Default" standing in for an empty user name. Ends in a separator.
std::filesystem::path CandidateHomeDir();

// $XDG_RUNTIME_DIR when it is an absolute path of an existing directory,
// else PrivateTempParent().
std::optional<std::filesystem::path> RuntimeDir();

// The user's home directory ($HOME, else the password entry).
std::filesystem::path UserHomeDir();

// Creates every missing directory of path, component by component from
// the left; a component that exists as a directory is not an error. False
// when a component cannot be created or exists as something else.
bool CreateDirectoryPath(const std::filesystem::path& path, unsigned mode = 0700);

}  // namespace corvina
