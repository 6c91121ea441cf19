// Manifest text and checks, in the rules that Chromium and Firefox apply when they read one.
#include "manifest.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "locations.h"
#include "platform/arguments.h"
#include "platform/executable.h"

namespace quarn::reg {

bool is_valid_host_name(const std::string& name) {
  if (name.empty() || name.front() == '.' || name.back() == '.') return false;
  if (name.find("..") != std::string::npos) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.';
  });
}

bool is_valid_chromium_extension_id(const std::string& id) {
  return id.size() == 32 &&
         std::all_of(id.begin(), id.end(), [](char c) { return c >= 'a' && c <= 'p'; });
}

bool is_valid_firefox_extension_id(const std::string& id) {
  if (id.empty() || id.find_first_of(" \t\r\n\"") != std::string::npos) return false;
  if (id.front() == '{') return id.size() == 38 && id.back() == '}';
  const auto at = id.find('@');
  return at != std::string::npos && id.find('@', at + 1) == std::string::npos;
}

namespace {

std::string origin_of(const std::string& id) { return "chrome-extension://" + id + "/"; }

const char* allowed_key(Family family) {
  return family == Family::kChromium ? "allowed_origins" : "allowed_extensions";
}

}  // namespace

std::string manifest_text(Family family, const std::string& name, const std::string& host_path,
                          const std::vector<std::string>& ids) {
  nlohmann::ordered_json manifest;
  manifest["name"] = name;
  manifest["description"] = kDescription;
  manifest["path"] = host_path;
  manifest["type"] = "stdio";
  auto& allowed = manifest[allowed_key(family)] = nlohmann::ordered_json::array();
  for (const auto& id : ids) allowed.push_back(family == Family::kChromium ? origin_of(id) : id);
  return manifest.dump(2) + "\n";
}

std::vector<std::string> manifest_problems(Family family, const std::string& path,
                                           const std::string& name,
                                           const std::vector<std::string>& expected_ids) {
  std::ifstream in(platform::file_path(path), std::ios::binary);
  if (!in) return {"cannot be read"};
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto manifest = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (!manifest.is_object()) return {"is not a JSON object"};

  std::vector<std::string> problems;
  const auto string_member = [&](const char* key) -> std::string {
    const auto it = manifest.find(key);
    return it != manifest.end() && it->is_string() ? it->get<std::string>() : std::string();
  };
  if (string_member("name") != name) {
    problems.push_back("\"name\" is \"" + string_member("name") + "\", not the file's name \"" +
                       name + "\"");
  }
  if (string_member("description").empty()) problems.push_back("has no \"description\"");
  if (string_member("type") != "stdio") problems.push_back("\"type\" is not \"stdio\"");

  std::string host = string_member("path");
  // Where the browsers take a relative "path" from the manifest's own folder, so does the check.
  if (kRelativeHostPathAllowed && !host.empty() && !is_absolute_path(host)) {
    host = platform::path_text(platform::file_path(path).parent_path() / platform::file_path(host));
  }
  std::error_code ignored;
  if (!is_absolute_path(host)) {
    problems.push_back("\"path\" is not an absolute path: \"" + host + "\"");
  } else if (!std::filesystem::exists(platform::file_path(host), ignored)) {
    problems.push_back("host " + host + " does not exist");
  } else if (!platform::is_executable_file(host)) {
    problems.push_back("host " + host + " is not an executable file");
  }

  const char* key = allowed_key(family);
  const char* other = family == Family::kChromium ? "allowed_extensions" : "allowed_origins";
  if (manifest.contains(other))
    problems.push_back(std::string("has \"") + other + "\", which this browser does not use");
  const auto allowed = manifest.find(key);
  std::vector<std::string> listed;
  if (allowed == manifest.end() || !allowed->is_array() || allowed->empty()) {
    problems.push_back(std::string("has no \"") + key + "\"");
  } else {
    for (const auto& entry : *allowed) {
      const std::string value = entry.is_string() ? entry.get<std::string>() : entry.dump();
      const bool well_formed =
          family == Family::kChromium
              ? value.size() == 52 && value.rfind("chrome-extension://", 0) == 0 &&
                    value.back() == '/' && is_valid_chromium_extension_id(value.substr(19, 32))
              : is_valid_firefox_extension_id(value);
      if (!well_formed) problems.push_back("\"" + value + "\" in \"" + key + "\" is malformed");
      listed.push_back(value);
    }
  }
  for (const auto& id : expected_ids) {
    const std::string wanted = family == Family::kChromium ? origin_of(id) : id;
    if (std::find(listed.begin(), listed.end(), wanted) == listed.end()) {
      problems.push_back("does not allow " + wanted);
    }
  }
  return problems;
}

}  // namespace quarn::reg
