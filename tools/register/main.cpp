// quarn-host-register: installs, removes and checks the host's native-messaging manifests.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "browsers.h"
#include "manifest.h"

namespace quarn::reg {
namespace {

constexpr const char* kUsage = R"(usage: quarn-host-register install|uninstall|status [options]

  --browser NAME       chrome, chromium, brave, vivaldi, edge, firefox, librewolf or all
                       (repeatable; default: every browser found for this user)
  --extension-id ID    id of the extension in Chromium-family browsers (repeatable;
                       install needs at least one for them)
  --firefox-id ID      add-on id of the extension in Firefox and LibreWolf (repeatable;
                       install needs at least one for them)
  --host-path PATH     the quarn-host executable (default: the one installed with this tool)
  --system             the system-wide manifest folders (needs root) instead of the user's
  --user-data-dir DIR  a Chromium profile started with --user-data-dir=DIR
  --name NAME          host name (default: com.quarn.host)

status exits with 1 when an installed manifest is broken.
)";

struct Options {
  std::string command;
  std::vector<std::string> browsers;
  std::vector<std::string> chromium_ids;
  std::vector<std::string> firefox_ids;
  std::string host_path;
  std::string user_data_dir;
  std::string name = kDefaultHostName;
  bool system = false;
};

// One manifest location the command acts on.
struct Target {
  std::string label;
  Family family;
  std::string dir;
};

bool exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

std::string home() {
  const char* h = std::getenv("HOME");
  return h && *h == '/' ? h : "";
}

bool on_path(const std::string& binary) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string candidate = dirs.substr(start, end - start) + "/" + binary;
    if (end > start && ::access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

std::string self_dir() {
  std::vector<char> buffer(4096);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  const std::string self = n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : "";
  return self.substr(0, self.rfind('/'));
}

// The host beside this tool: in the build tree, or at its installed place.
std::string default_host_path() {
  const std::string dir = self_dir();
  for (const std::string& candidate : {dir + "/quarn-host", dir + "/../libexec/quarn/quarn-host"}) {
    if (::access(candidate.c_str(), X_OK) == 0) {
      char resolved[PATH_MAX];
      if (::realpath(candidate.c_str(), resolved)) return resolved;
    }
  }
  return "";
}

bool make_dirs(const std::string& dir) {
  for (std::size_t slash = 1; slash != std::string::npos;) {
    slash = dir.find('/', slash + 1);
    const std::string prefix = dir.substr(0, slash);
    if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

const Browser* find_browser(const std::string& id) {
  for (const auto& b : known_browsers()) {
    if (b.id == id) return &b;
  }
  return nullptr;
}

std::string manifest_path(const Target& t, const Options& o) {
  return t.dir + "/" + o.name + ".json";
}

// Sandboxed copies of a browser, which cannot start a host outside their sandbox.
void report_sandboxed(const Browser& b) {
  for (const auto& dir : b.sandboxed_dirs) {
    if (home().empty() || !exists(home() + "/" + dir)) continue;
    const char* kind = dir.rfind("snap/", 0) == 0 ? "Snap" : "Flatpak";
    std::printf(
        "%s: %s package found (~/%s). A sandboxed browser cannot start programs outside its "
        "sandbox, so no manifest is written for it; use the browser from your distribution's "
        "packages to unlock vaults from the extension.\n",
        b.display_name.c_str(), kind, dir.c_str());
  }
}

// The manifest folders the command acts on, or an error text.
std::vector<Target> select_targets(const Options& o, std::string& error) {
  std::vector<Target> targets;
  if (!o.user_data_dir.empty()) {
    targets.push_back({"Chromium profile " + o.user_data_dir, Family::kChromium,
                       o.user_data_dir + "/NativeMessagingHosts"});
    return targets;
  }
  std::vector<const Browser*> chosen;
  const bool all = o.browsers.empty() ||
                   std::find(o.browsers.begin(), o.browsers.end(), "all") != o.browsers.end();
  for (const auto& b : known_browsers()) {
    const bool named = std::find(o.browsers.begin(), o.browsers.end(), b.id) != o.browsers.end();
    if (!all && !named) continue;
    if (o.browsers.empty()) {
      // Only browsers this user has, or whose manifest is already there.
      const std::string dir = o.system ? b.system_dir : home() + "/" + b.user_dir;
      bool present = (!home().empty() && exists(home() + "/" + b.config_dir)) ||
                     exists(dir + "/" + o.name + ".json");
      for (const auto& bin : b.binaries) present = present || on_path(bin);
      if (!present) {
        report_sandboxed(b);
        continue;
      }
    }
    chosen.push_back(&b);
  }
  for (const auto& id : o.browsers) {
    if (id != "all" && !find_browser(id)) {
      error = "unknown browser \"" + id + "\"";
      return {};
    }
  }
  for (const Browser* b : chosen) {
    report_sandboxed(*b);
    if (o.system) {
      if (b->system_dir.empty()) {
        std::printf("%s: no system-wide manifest folder on Linux; skipped\n",
                    b->display_name.c_str());
        continue;
      }
      targets.push_back({b->display_name, b->family, b->system_dir});
    } else {
      if (home().empty()) {
        error = "HOME is not set to an absolute path";
        return {};
      }
      targets.push_back({b->display_name, b->family, home() + "/" + b->user_dir});
    }
  }
  if (targets.empty()) error = "no supported browser found; name one with --browser";
  return targets;
}

int install(const Options& o, const std::vector<Target>& targets) {
  if (o.host_path.empty() || o.host_path.front() != '/') {
    std::printf(
        "error: the host executable was not found; give its absolute path with --host-path\n");
    return 1;
  }
  int status = 0;
  for (const auto& t : targets) {
    const auto& ids = t.family == Family::kChromium ? o.chromium_ids : o.firefox_ids;
    if (ids.empty()) {
      std::printf("%s: skipped, no %s given\n", t.label.c_str(),
                  t.family == Family::kChromium ? "--extension-id" : "--firefox-id");
      status = 1;
      continue;
    }
    const std::string path = manifest_path(t, o);
    const std::string temporary = path + ".tmp";
    if (!make_dirs(t.dir)) {
      std::printf("%s: cannot create %s: %s\n", t.label.c_str(), t.dir.c_str(),
                  std::strerror(errno));
      status = 1;
      continue;
    }
    {
      std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
      out << manifest_text(t.family, o.name, o.host_path, ids);
      if (!out.flush()) {
        std::printf("%s: cannot write %s\n", t.label.c_str(), temporary.c_str());
        status = 1;
        continue;
      }
    }
    ::chmod(temporary.c_str(), 0644);
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
      std::printf("%s: cannot write %s: %s\n", t.label.c_str(), path.c_str(), std::strerror(errno));
      status = 1;
      continue;
    }
    const auto problems = manifest_problems(t.family, path, o.name, ids);
    std::printf("%s: installed %s\n", t.label.c_str(), path.c_str());
    for (const auto& p : problems) std::printf("  warning: %s\n", p.c_str());
  }
  return status;
}

int uninstall(const Options& o, const std::vector<Target>& targets) {
  int status = 0;
  for (const auto& t : targets) {
    const std::string path = manifest_path(t, o);
    if (::unlink(path.c_str()) == 0) {
      std::printf("%s: removed %s\n", t.label.c_str(), path.c_str());
    } else if (errno == ENOENT) {
      std::printf("%s: not installed\n", t.label.c_str());
    } else {
      std::printf("%s: cannot remove %s: %s\n", t.label.c_str(), path.c_str(),
                  std::strerror(errno));
      status = 1;
    }
  }
  return status;
}

int status_of(const Options& o, const std::vector<Target>& targets) {
  int status = 0;
  for (const auto& t : targets) {
    const std::string path = manifest_path(t, o);
    if (!exists(path)) {
      std::printf("%s: not installed (%s)\n", t.label.c_str(), path.c_str());
      continue;
    }
    const auto& ids = t.family == Family::kChromium ? o.chromium_ids : o.firefox_ids;
    const auto problems = manifest_problems(t.family, path, o.name, ids);
    if (problems.empty()) {
      std::printf("%s: ok (%s)\n", t.label.c_str(), path.c_str());
      continue;
    }
    status = 1;
    std::printf("%s: broken (%s)\n", t.label.c_str(), path.c_str());
    for (const auto& p : problems) std::printf("  %s\n", p.c_str());
  }
  return status;
}

int run(int argc, char** argv) {
  Options o;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, stdout);
    return args.empty() ? 2 : 0;
  }
  o.command = args[0];
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) {
        std::printf("error: %s needs a value\n", a.c_str());
        std::exit(2);
      }
      return args[++i];
    };
    if (a == "--browser")
      o.browsers.push_back(value());
    else if (a == "--extension-id")
      o.chromium_ids.push_back(value());
    else if (a == "--firefox-id")
      o.firefox_ids.push_back(value());
    else if (a == "--host-path")
      o.host_path = value();
    else if (a == "--user-data-dir")
      o.user_data_dir = value();
    else if (a == "--name")
      o.name = value();
    else if (a == "--system")
      o.system = true;
    else {
      std::printf("error: unknown option %s\n\n%s", a.c_str(), kUsage);
      return 2;
    }
  }
  if (o.command != "install" && o.command != "uninstall" && o.command != "status") {
    std::printf("error: unknown command %s\n\n%s", o.command.c_str(), kUsage);
    return 2;
  }
  if (!is_valid_host_name(o.name)) {
    std::printf("error: host name \"%s\" may hold only lowercase letters, digits, '_' and '.'\n",
                o.name.c_str());
    return 2;
  }
  for (const auto& id : o.chromium_ids) {
    if (!is_valid_chromium_extension_id(id)) {
      std::printf("error: \"%s\" is not a Chromium extension id (32 letters a to p)\n", id.c_str());
      return 2;
    }
  }
  for (const auto& id : o.firefox_ids) {
    if (!is_valid_firefox_extension_id(id)) {
      std::printf("error: \"%s\" is not a Firefox add-on id (name@domain or {GUID})\n", id.c_str());
      return 2;
    }
  }
  if (o.host_path.empty()) {
    o.host_path = default_host_path();
  } else if (o.host_path.front() != '/') {
    char resolved[PATH_MAX];
    if (::realpath(o.host_path.c_str(), resolved)) o.host_path = resolved;
  }

  std::string error;
  const auto targets = select_targets(o, error);
  if (!error.empty()) {
    std::printf("error: %s\n", error.c_str());
    return 1;
  }
  if (o.command == "install") return install(o, targets);
  if (o.command == "uninstall") return uninstall(o, targets);
  return status_of(o, targets);
}

}  // namespace
}  // namespace quarn::reg

int main(int argc, char** argv) { return quarn::reg::run(argc, argv); }
