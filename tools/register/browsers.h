// The browsers quarn-host can be registered with, and where each looks for host manifests.
#pragma once

#include <string>
#include <vector>

namespace quarn::reg {

enum class Family { kChromium, kFirefox };

struct Browser {
  std::string id;            // command-line name: chrome, chromium, brave, vivaldi, edge, ...
  std::string display_name;  // "Google Chrome"
  Family family;
  std::string user_dir;    // manifest folder relative to the user's base folder (locations.h)
  std::string system_dir;  // absolute manifest folder for --system ("" when none)
  std::string config_dir;  // relative to the user's base folder: present once the browser ran
  std::vector<std::string> binaries;        // names on PATH that mean it is installed
  std::vector<std::string> sandboxed_dirs;  // Flatpak/Snap data folders relative to $HOME
  std::string registry_key;  // Windows: the key under HKCU or HKLM that names the manifest
};

// Every browser the tool knows, in the order status reports them.
const std::vector<Browser>& known_browsers();

}  // namespace quarn::reg
