// What the registration tool must know of the system it runs on: the user's base folder, which
// paths are absolute, and how a written manifest is made known to a browser (on Windows, a
// registry key that names it; elsewhere, its folder is enough).
#pragma once

#include <optional>
#include <string>

namespace quarn::reg {

// The folder that the browsers' user folders are relative to ($HOME; %LOCALAPPDATA% on Windows);
// empty when it is not set to an absolute path.
std::string user_base();

// Why user_base() is empty, for the user.
extern const char* const kNoUserBase;

// True for a path that does not depend on the working folder.
bool is_absolute_path(const std::string& path);

// Whether a browser here accepts a manifest "path" relative to the manifest's own folder.
extern const bool kRelativeHostPathAllowed;

// Why --user-data-dir cannot serve here, or nothing when it can.
std::optional<std::string> user_data_dir_refusal();

// Makes the manifest at `manifest_path` known under `registry_key` (system-wide with `system`):
// nothing to do where the key is empty. Empty on success, else the problem.
std::string register_manifest(const std::string& registry_key, bool system,
                              const std::string& manifest_path);

// Removes what register_manifest made: true when there was something to remove. `problem` is
// set when it could not be removed.
bool unregister_manifest(const std::string& registry_key, bool system, std::string& problem);

// The manifest path registered under `registry_key`, or nothing.
std::optional<std::string> registered_manifest(const std::string& registry_key, bool system);

// How the registration is shown to the user ("HKCU\Software\...").
std::string registration_label(const std::string& registry_key, bool system);

}  // namespace quarn::reg
