// The registry over RegCreateKeyExW, RegSetValueExW, RegGetValueW and RegDeleteTreeW.
#include "platform/registry.h"

#include <windows.h>

#include <vector>

#include "platform/files.h"
#include "platform/windows/utf16.h"

namespace quarn::platform {
namespace {

HKEY root_of(RegistryHive hive) {
  return hive == RegistryHive::kCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

std::string describe(LSTATUS status) {
  return error_description(static_cast<int>(status)) + " (os error " + std::to_string(status) + ")";
}

}  // namespace

std::optional<std::string> registry_default_value(RegistryHive hive, const std::string& key) {
  const auto wide_key = to_utf16(key);
  if (!wide_key) return std::nullopt;
  DWORD size = 0;
  if (RegGetValueW(root_of(hive), wide_key->c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr,
                   &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::vector<wchar_t> value(size / sizeof(wchar_t) + 1);
  size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (RegGetValueW(root_of(hive), wide_key->c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value.data(),
                   &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return to_utf8(value.data());
}

Result<Done, std::string> set_registry_default_value(RegistryHive hive, const std::string& key,
                                                     const std::string& value) {
  const auto wide_key = to_utf16(key);
  const auto wide_value = to_utf16(value);
  if (!wide_key || !wide_value) return fail(std::string("not valid UTF-8"));
  HKEY opened = nullptr;
  LSTATUS status = RegCreateKeyExW(root_of(hive), wide_key->c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                   nullptr, &opened, nullptr);
  if (status != ERROR_SUCCESS) return fail(describe(status));
  status =
      RegSetValueExW(opened, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide_value->c_str()),
                     static_cast<DWORD>((wide_value->size() + 1) * sizeof(wchar_t)));
  RegCloseKey(opened);
  if (status != ERROR_SUCCESS) return fail(describe(status));
  return Done{};
}

Result<bool, std::string> remove_registry_key(RegistryHive hive, const std::string& key) {
  const auto wide_key = to_utf16(key);
  if (!wide_key) return false;
  const LSTATUS status = RegDeleteTreeW(root_of(hive), wide_key->c_str());
  if (status == ERROR_FILE_NOT_FOUND) return false;
  if (status != ERROR_SUCCESS) return fail(describe(status));
  // RegDeleteTreeW empties the key; the key itself goes with RegDeleteKeyW.
  const LSTATUS removed = RegDeleteKeyW(root_of(hive), wide_key->c_str());
  if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) return fail(describe(removed));
  return true;
}

}  // namespace quarn::platform
