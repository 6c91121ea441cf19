// Native-messaging host manifests: building one, and finding what is wrong with one on disk.
#pragma once

#include <string>
#include <vector>

#include "browsers.h"

namespace quarn::reg {

inline constexpr const char* kDefaultHostName = "com.quarn.host";
inline constexpr const char* kDescription = "Quarn password vault: native-messaging host";

// Lowercase letters, digits, '_' and '.', not starting or ending with a dot, no two dots in a row.
bool is_valid_host_name(const std::string& name);
// 32 letters from a to p, as Chromium derives extension ids.
bool is_valid_chromium_extension_id(const std::string& id);
// An add-on id as Firefox accepts them: an e-mail-like "name@domain" or a "{GUID}".
bool is_valid_firefox_extension_id(const std::string& id);

// The manifest text for one browser family. `ids` are Chromium extension ids or Firefox add-on ids.
std::string manifest_text(Family family, const std::string& name, const std::string& host_path,
                          const std::vector<std::string>& ids);

// Problems of the manifest file at `path` (empty when it is usable). `expected_ids`, when given,
// must all be allowed.
std::vector<std::string> manifest_problems(Family family, const std::string& path,
                                           const std::string& name,
                                           const std::vector<std::string>& expected_ids);

}  // namespace quarn::reg
