// Files over GetFileAttributesExW, CreateFileW and ReadFile, with UTF-8 paths.
#include "platform/files.h"

#include <windows.h>

#include <algorithm>

#include "platform/read_to_end.h"
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

Result<Bytes, OsError> read_file(std::string_view path, std::uint64_t max_size) {
  const auto wide = to_utf16(path);
  if (!wide) return fail(not_found());
  // Shared for reading, writing and deleting: the desktop application may hold the vault open.
  // Opening does not wait on a pipe or a device; reading one could, so the handle is checked.
  FileHandle file(CreateFileW(wide->c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return fail(last_error());
  if (GetFileType(file.get()) != FILE_TYPE_DISK) return fail(OsError::not_a_file());
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info)) return fail(last_error());
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return fail(OsError{ERROR_ACCESS_DENIED});  // what opening a folder gives everywhere else
  }
  const std::uint64_t size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  return read_to_end(size, max_size, [&file](std::uint8_t* into, std::size_t max) {
    DWORD got = 0;
    if (!ReadFile(file.get(), into, static_cast<DWORD>(std::min(max, kMaxRead)), &got, nullptr)) {
      return Result<std::size_t, OsError>(fail(last_error()));
    }
    return Result<std::size_t, OsError>(std::size_t{got});
  });
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
