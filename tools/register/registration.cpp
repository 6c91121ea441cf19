// install, uninstall and status over the manifest folders of the browsers found for this user.
#include "registration.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "browsers.h"
#include "locations.h"
#include "platform/arguments.h"
#include "platform/executable.h"

namespace quarn::reg {

const char* const kUsage = R"(usage: quarn-host-register install|uninstall|status [options]
       quarn-host-register manifest --browser NAME --host-path PATH (--extension-id ID|--firefox-id ID)...

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

status exits with 1 when an installed manifest is broken. manifest prints the manifest of one
browser without installing it, its "path" exactly as given (for packages that install the host).
)";

namespace {

namespace fs = std::filesystem;

// One manifest location the command acts on.
struct Target {
  std::string label;
  Family family;
  std::string dir;
  std::string registry_key;  // Windows: the key whose default value names the manifest
};

bool exists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(platform::file_path(path), ignored);
}

// `relative` in `folder`, with the system's separator.
std::string in_folder(const std::string& folder, const std::string& relative) {
  return platform::path_text(
      (platform::file_path(folder) / platform::file_path(relative)).make_preferred());
}

// The host beside this tool: in the build tree, or at its installed place.
std::string default_host_path() {
  const fs::path dir = platform::file_path(platform::executable_path()).parent_path();
  const std::string host = platform::program_file_name("quarn-host");
  for (const fs::path& candidate : {dir / host, dir / "../libexec/quarn" / host}) {
    std::error_code error;
    if (!platform::is_executable_file(platform::path_text(candidate))) continue;
    fs::path resolved = fs::canonical(candidate, error);
    if (!error) return platform::path_text(resolved.make_preferred());
  }
  return "";
}

const Browser* find_browser(const std::string& id) {
  for (const auto& b : known_browsers()) {
    if (b.id == id) return &b;
  }
  return nullptr;
}

std::string manifest_path(const Target& t, const Options& o) {
  return in_folder(t.dir, o.name + ".json");
}

// Sandboxed copies of a browser, which cannot start a host outside their sandbox.
void report_sandboxed(const Browser& b, Outcome& out) {
  for (const auto& dir : b.sandboxed_dirs) {
    if (user_base().empty() || !exists(in_folder(user_base(), dir))) continue;
    const char* kind = dir.rfind("snap/", 0) == 0 ? "Snap" : "Flatpak";
    out.lines.push_back(b.display_name + ": " + kind + " package found (~/" + dir +
                        "). A sandboxed browser cannot start programs outside its sandbox, so no "
                        "manifest is written for it; use the browser from your distribution's "
                        "packages to unlock vaults from the extension.");
  }
}

// The manifest folders the command acts on; an empty list means the outcome says why.
std::vector<Target> select_targets(const Options& o, Outcome& out) {
  std::vector<Target> targets;
  const auto failure = [&out](const std::string& message) {
    out.lines.push_back("error: " + message);
    out.exit_status = 1;
    return std::vector<Target>();
  };
  if (!o.user_data_dir.empty()) {
    if (const auto refusal = user_data_dir_refusal()) return failure(*refusal);
    targets.push_back({"Chromium profile " + o.user_data_dir, Family::kChromium,
                       in_folder(o.user_data_dir, "NativeMessagingHosts"), ""});
    return targets;
  }
  const auto key_of = [&o](const Browser& b) {
    return b.registry_key.empty() ? std::string() : b.registry_key + "\\" + o.name;
  };
  std::vector<const Browser*> chosen;
  const bool all = o.browsers.empty() ||
                   std::find(o.browsers.begin(), o.browsers.end(), "all") != o.browsers.end();
  for (const auto& b : known_browsers()) {
    const bool named = std::find(o.browsers.begin(), o.browsers.end(), b.id) != o.browsers.end();
    if (!all && !named) continue;
    if (o.browsers.empty()) {
      // Only browsers this user has, or whose manifest is already there.
      const std::string dir = o.system ? b.system_dir : in_folder(user_base(), b.user_dir);
      bool present = (!user_base().empty() && exists(in_folder(user_base(), b.config_dir))) ||
                     exists(in_folder(dir, o.name + ".json")) ||
                     registered_manifest(key_of(b), o.system).has_value();
      for (const auto& bin : b.binaries) present = present || platform::is_on_path(bin);
      if (!present) {
        report_sandboxed(b, out);
        continue;
      }
    }
    chosen.push_back(&b);
  }
  for (const auto& id : o.browsers) {
    if (id != "all" && !find_browser(id)) return failure("unknown browser \"" + id + "\"");
  }
  for (const Browser* b : chosen) {
    report_sandboxed(*b, out);
    if (o.system) {
      if (b->system_dir.empty()) {
        out.lines.push_back(b->display_name + ": no system-wide manifest folder here; skipped");
        continue;
      }
      targets.push_back({b->display_name, b->family, b->system_dir, key_of(*b)});
    } else {
      if (user_base().empty()) return failure(kNoUserBase);
      targets.push_back(
          {b->display_name, b->family, in_folder(user_base(), b->user_dir), key_of(*b)});
    }
  }
  if (targets.empty()) return failure("no supported browser found; name one with --browser");
  return targets;
}

// Writes the manifest next to its place and renames it there, so a browser never reads half.
std::string write_manifest(const Target& t, const Options& o, const std::vector<std::string>& ids) {
  const std::string path = manifest_path(t, o);
  const std::string temporary = path + ".tmp";
  std::error_code error;
  fs::create_directories(platform::file_path(t.dir), error);
  if (error) return "cannot create " + t.dir + ": " + error.message();
  {
    std::ofstream file(platform::file_path(temporary), std::ios::binary | std::ios::trunc);
    file << manifest_text(t.family, o.name, o.host_path, ids);
    if (!file.flush()) return "cannot write " + temporary;
  }
  fs::permissions(platform::file_path(temporary),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                      fs::perms::others_read,
                  error);
  fs::rename(platform::file_path(temporary), platform::file_path(path), error);
  if (error) return "cannot write " + path + ": " + error.message();
  return register_manifest(t.registry_key, o.system, path);
}

Outcome install(const Options& o, const std::vector<Target>& targets, Outcome out) {
  if (!is_absolute_path(o.host_path)) {
    out.lines.push_back(
        "error: the host executable was not found; give its absolute path with --host-path");
    out.exit_status = 1;
    return out;
  }
  for (const auto& t : targets) {
    const auto& ids = t.family == Family::kChromium ? o.chromium_ids : o.firefox_ids;
    if (ids.empty()) {
      out.lines.push_back(t.label + ": skipped, no " +
                          (t.family == Family::kChromium ? "--extension-id" : "--firefox-id") +
                          " given");
      out.exit_status = 1;
      continue;
    }
    if (const std::string problem = write_manifest(t, o, ids); !problem.empty()) {
      out.lines.push_back(t.label + ": " + problem);
      out.exit_status = 1;
      continue;
    }
    const std::string path = manifest_path(t, o);
    out.lines.push_back(t.label + ": installed " + path);
    if (!t.registry_key.empty()) {
      out.lines.push_back("  registered in " + registration_label(t.registry_key, o.system));
    }
    for (const auto& p : manifest_problems(t.family, path, o.name, ids)) {
      out.lines.push_back("  warning: " + p);
    }
  }
  return out;
}

Outcome uninstall(const Options& o, const std::vector<Target>& targets, Outcome out) {
  for (const auto& t : targets) {
    const std::string path = manifest_path(t, o);
    std::string problem;
    if (unregister_manifest(t.registry_key, o.system, problem)) {
      out.lines.push_back(t.label + ": removed " + registration_label(t.registry_key, o.system));
    }
    if (!problem.empty()) {
      out.lines.push_back(t.label + ": " + problem);
      out.exit_status = 1;
    }
    std::error_code error;
    if (fs::remove(platform::file_path(path), error)) {
      out.lines.push_back(t.label + ": removed " + path);
    } else if (!error) {
      out.lines.push_back(t.label + ": not installed");
    } else {
      out.lines.push_back(t.label + ": cannot remove " + path + ": " + error.message());
      out.exit_status = 1;
    }
  }
  return out;
}

Outcome status_of(const Options& o, const std::vector<Target>& targets, Outcome out) {
  for (const auto& t : targets) {
    // Where a registry names the manifest, the browser reads the one it names.
    std::string path = manifest_path(t, o);
    if (!t.registry_key.empty()) {
      const auto registered = registered_manifest(t.registry_key, o.system);
      if (!registered) {
        out.lines.push_back(t.label + ": not installed (" +
                            registration_label(t.registry_key, o.system) + ")");
        continue;
      }
      path = *registered;
    }
    if (!exists(path) && !t.registry_key.empty()) {
      out.exit_status = 1;
      out.lines.push_back(t.label + ": broken (" + registration_label(t.registry_key, o.system) +
                          ")");
      out.lines.push_back("  names " + path + ", which does not exist");
      continue;
    }
    if (!exists(path)) {
      out.lines.push_back(t.label + ": not installed (" + path + ")");
      continue;
    }
    const auto& ids = t.family == Family::kChromium ? o.chromium_ids : o.firefox_ids;
    const auto problems = manifest_problems(t.family, path, o.name, ids);
    if (problems.empty()) {
      out.lines.push_back(t.label + ": ok (" + path + ")");
      continue;
    }
    out.exit_status = 1;
    out.lines.push_back(t.label + ": broken (" + path + ")");
    for (const auto& p : problems) out.lines.push_back("  " + p);
  }
  return out;
}

Outcome usage_error(const std::string& message) { return Outcome{{"error: " + message}, 2}; }

}  // namespace

Outcome parse_arguments(const std::vector<std::string>& args, Options& o) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    return Outcome{{kUsage}, args.empty() ? 2 : 0};
  }
  o.command = args[0];
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--system") {
      o.system = true;
      continue;
    }
    std::vector<std::string>* list = a == "--browser"        ? &o.browsers
                                     : a == "--extension-id" ? &o.chromium_ids
                                     : a == "--firefox-id"   ? &o.firefox_ids
                                                             : nullptr;
    std::string* single = a == "--host-path"       ? &o.host_path
                          : a == "--user-data-dir" ? &o.user_data_dir
                          : a == "--name"          ? &o.name
                                                   : nullptr;
    if (list == nullptr && single == nullptr) {
      return Outcome{{"error: unknown option " + a, "", kUsage}, 2};
    }
    if (i + 1 >= args.size()) return usage_error(a + " needs a value");
    if (list != nullptr) {
      list->push_back(args[++i]);
    } else {
      *single = args[++i];
    }
  }
  if (o.command != "install" && o.command != "uninstall" && o.command != "status" &&
      o.command != "manifest") {
    return Outcome{{"error: unknown command " + o.command, "", kUsage}, 2};
  }
  if (!is_valid_host_name(o.name)) {
    return usage_error("host name \"" + o.name +
                       "\" may hold only lowercase letters, digits, '_' and '.'");
  }
  for (const auto& id : o.chromium_ids) {
    if (!is_valid_chromium_extension_id(id)) {
      return usage_error("\"" + id + "\" is not a Chromium extension id (32 letters a to p)");
    }
  }
  for (const auto& id : o.firefox_ids) {
    if (!is_valid_firefox_extension_id(id)) {
      return usage_error("\"" + id + "\" is not a Firefox add-on id (name@domain or {GUID})");
    }
  }
  if (o.command == "manifest") {
    // The host's place on the machine the package will be installed on: taken as it is.
    if (o.browsers.size() != 1 || !find_browser(o.browsers[0])) {
      return usage_error("manifest needs one --browser (not all)");
    }
    if (o.host_path.empty()) return usage_error("manifest needs --host-path");
  } else if (o.host_path.empty()) {
    o.host_path = default_host_path();
  } else if (!is_absolute_path(o.host_path)) {
    std::error_code error;
    fs::path resolved = fs::canonical(platform::file_path(o.host_path), error);
    if (!error) o.host_path = platform::path_text(resolved.make_preferred());
  }
  return Outcome{};
}

Outcome run_command(const Options& o) {
  Outcome out;
  if (o.command == "manifest") {
    const Browser& b = *find_browser(o.browsers[0]);
    const auto& ids = b.family == Family::kChromium ? o.chromium_ids : o.firefox_ids;
    if (ids.empty()) {
      out.lines.push_back(std::string("error: ") + b.display_name + " needs " +
                          (b.family == Family::kChromium ? "--extension-id" : "--firefox-id"));
      out.exit_status = 2;
      return out;
    }
    out.lines.push_back(manifest_text(b.family, o.name, o.host_path, ids));
    return out;
  }
  const auto targets = select_targets(o, out);
  if (targets.empty()) return out;
  if (o.command == "install") return install(o, targets, std::move(out));
  if (o.command == "uninstall") return uninstall(o, targets, std::move(out));
  return status_of(o, targets, std::move(out));
}

}  // namespace quarn::reg
