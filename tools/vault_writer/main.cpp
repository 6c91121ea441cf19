// vault-writer: writes a version-1 or version-2 vault file, for tests and the demo.
//
//   vault-writer --version 1|2 --password PW --out FILE [--entries-json FILE|- | --count N]
//
// Entries come from a JSON array (a file, or standard input for "-"; see entries_json.h), or are
// N synthetic ones; with neither the vault is empty. The exit status is 0 on success, 1 when a
// file cannot be read or written or the entries are malformed, 2 on a usage error.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/arguments.h"
#include "vault_writer/entries_json.h"
#include "vault_writer/payload.h"
#include "vault_writer/vault_writer.h"

namespace {

using namespace quarn::vault_writer;

constexpr const char* kUsage =
    "usage: vault-writer --version 1|2 --password PW --out FILE "
    "[--entries-json FILE|- | --count N]\n";

int usage_error(const std::string& why) {
  std::cerr << "vault-writer: " << why << "\n" << kUsage;
  return 2;
}

std::optional<std::string> read_text(const std::string& path) {
  if (path == "-") {
    return quarn::platform::read_standard_input();
  }
  std::ifstream in(quarn::platform::file_path(path), std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<int> version;
  std::optional<std::string> password;
  std::optional<std::string> out_path;
  std::optional<std::string> entries_path;
  std::optional<std::size_t> count;

  const std::vector<std::string> args = quarn::platform::program_arguments(argc, argv);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (i + 1 >= args.size()) return usage_error("missing value after " + arg);
    const std::string& value = args[++i];
    if (arg == "--version") {
      if (value != "1" && value != "2") return usage_error("--version must be 1 or 2");
      version = value == "1" ? 1 : 2;
    } else if (arg == "--password") {
      password = value;
    } else if (arg == "--out") {
      out_path = value;
    } else if (arg == "--entries-json") {
      entries_path = value;
    } else if (arg == "--count") {
      // Digits only: std::stoull would take "-5" and wrap it.
      if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos) {
        return usage_error("--count needs a number");
      }
      try {
        count = std::stoull(value);
      } catch (const std::exception&) {
        return usage_error("--count is too large");
      }
    } else {
      return usage_error("unknown option " + arg);
    }
  }
  if (!version || !password || !out_path) {
    return usage_error("--version, --password and --out are required");
  }
  if (entries_path && count) return usage_error("give --entries-json or --count, not both");

  std::vector<Entry> entries;
  if (entries_path) {
    const auto text = read_text(*entries_path);
    if (!text) {
      std::cerr << "vault-writer: cannot read " << *entries_path << "\n";
      return 1;
    }
    auto parsed = parse_entries_json(*text);
    if (!parsed) {
      std::cerr << "vault-writer: " << parsed.error() << "\n";
      return 1;
    }
    entries = std::move(parsed).value();
  } else if (count) {
    entries = synthetic_entries(*count);
  }

  const std::vector<std::uint8_t> payload = encode_payload(entries);
  const std::vector<std::uint8_t> file = *version == 1
                                             ? serialize_v1(seal_v1(*password, payload).fields)
                                             : serialize_v2(seal_v2(*password, payload).fields);
  std::ofstream out(quarn::platform::file_path(*out_path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  out.close();
  if (!out) {
    std::cerr << "vault-writer: cannot write " << *out_path << "\n";
    return 1;
  }
  std::cout << "wrote " << *out_path << ": version " << *version << ", " << entries.size()
            << " entries, " << file.size() << " bytes\n";
  return 0;
}
