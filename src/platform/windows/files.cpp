// Files over GetFileAttributesExW, CreateFileW and ReadFile, with UTF-8 paths.
#include "platform/files.h"

#include <windows.h>

#include <algorithm>
#include <new>
#include <stdexcept>

#include "platform/windows/utf16.h"

namespace quarn::platform {
namespace {

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

OsError last_error() { return OsError{static_cast<int>(GetLastError())}; }

// A path that is not valid UTF-8, or holds a NUL, names nothing.
OsError not_found() { return OsError{ERROR_FILE_NOT_FOUND}; }

// ReadFile takes a DWORD length.
constexpr std::size_t kMaxRead = 1u << 30;

// Reads until end of file into `bytes`, whose capacity is the first guess of the size; when it is
// used up, a small probe read tells end of file from a file that grew.
Result<Done, OsError> read_to_end(HANDLE file, Bytes& bytes) {
  std::uint8_t probe[8192];
  for (;;) {
    const std::size_t used = bytes.size();
    const std::size_t spare = bytes.capacity() - used;
    DWORD got = 0;
    if (spare == 0) {
      if (!ReadFile(file, probe, sizeof probe, &got, nullptr)) return fail(last_error());
      if (got == 0) return Done{};
      bytes.insert(bytes.end(), probe, probe + got);
      continue;
    }
    bytes.resize(bytes.capacity());
    const BOOL ok = ReadFile(file, bytes.data() + used,
                             static_cast<DWORD>(std::min(spare, kMaxRead)), &got, nullptr);
    const OsError error = ok ? OsError{} : last_error();
    bytes.resize(used + got);
    if (!ok) return fail(error);
    if (got == 0) return Done{};
  }
}

}  // namespace

Result<FileInfo, OsError> query_path(std::string_view path) {
  const auto wide = to_utf16(path);
  if (!wide) return fail(not_found());
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(wide->c_str(), GetFileExInfoStandard, &data)) {
    return fail(last_error());
  }
  return FileInfo{(std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow};
}

Result<Bytes, OsError> read_file(std::string_view path, std::uint64_t expected_size) {
  const auto wide = to_utf16(path);
  if (!wide) return fail(not_found());
  // Shared for reading, writing and deleting: the desktop application may hold the vault open.
  FileHandle file(CreateFileW(wide->c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return fail(last_error());
  Bytes bytes;
  try {
    if (expected_size > 0) bytes.reserve(static_cast<std::size_t>(expected_size));
    auto read = read_to_end(file.get(), bytes);
    if (!read) return fail(read.error());
  } catch (const std::bad_alloc&) {
    return fail(OsError::no_memory());
  } catch (const std::length_error&) {
    return fail(OsError::no_memory());
  }
  return bytes;
}

std::string error_description(int code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string described = length > 0 ? to_utf8(std::wstring_view(text, length)) : std::string();
  if (text != nullptr) LocalFree(text);
  while (!described.empty() && (described.back() == ' ' || described.back() == '\n' ||
                                described.back() == '\r' || described.back() == '\t')) {
    described.pop_back();
  }
  return described;
}

}  // namespace quarn::platform
