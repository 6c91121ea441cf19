// Manifest locations of the Chromium family and of Firefox on Windows: each browser reads the
// default value of its registry key, the manifest's path. The manifests themselves are the
// tool's own, one folder a browser under %LOCALAPPDATA%\Quarn (or %ProgramData%\Quarn for
// --system). Presence is told by the browser's folder under %LOCALAPPDATA%.
#include "browsers.h"
#include "platform/environment.h"

namespace quarn::reg {
namespace {

std::string manifests_of(const std::string& browser) {
  return "Quarn\\NativeMessagingHosts\\" + browser;
}

std::string system_manifests_of(const std::string& browser) {
  const auto data = platform::environment_variable("ProgramData");
  return data && !data->empty() ? *data + "\\" + manifests_of(browser) : std::string();
}

Browser browser(const std::string& id, const std::string& display_name, Family family,
                const std::string& config_dir, const std::string& registry_key) {
  return {id,         display_name, family, manifests_of(id), system_manifests_of(id),
          config_dir, {},           {},     registry_key};
}

}  // namespace

const std::vector<Browser>& known_browsers() {
  static const std::vector<Browser> browsers = {
      browser("chrome", "Google Chrome", Family::kChromium, "Google\\Chrome\\User Data",
              "Software\\Google\\Chrome\\NativeMessagingHosts"),
      browser("chromium", "Chromium", Family::kChromium, "Chromium\\User Data",
              "Software\\Chromium\\NativeMessagingHosts"),
      browser("brave", "Brave", Family::kChromium, "BraveSoftware\\Brave-Browser\\User Data",
              "Software\\BraveSoftware\\Brave-Browser\\NativeMessagingHosts"),
      browser("vivaldi", "Vivaldi", Family::kChromium, "Vivaldi\\User Data",
              "Software\\Vivaldi\\NativeMessagingHosts"),
      browser("edge", "Microsoft Edge", Family::kChromium, "Microsoft\\Edge\\User Data",
              "Software\\Microsoft\\Edge\\NativeMessagingHosts"),
      browser("firefox", "Firefox", Family::kFirefox, "Mozilla\\Firefox",
              "Software\\Mozilla\\NativeMessagingHosts"),
      browser("librewolf", "LibreWolf", Family::kFirefox, "LibreWolf",
              "Software\\LibreWolf\\NativeMessagingHosts"),
  };
  return browsers;
}

}  // namespace quarn::reg
