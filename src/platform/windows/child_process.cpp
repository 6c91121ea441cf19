// Child processes over CreateProcessW and anonymous pipes, fed and drained by one thread a pipe.
#include "platform/child_process.h"

#include <windows.h>

#include <chrono>
#include <thread>

#include "platform/windows/utf16.h"

namespace quarn::platform {
namespace {

// One argument quoted as the C runtime's command-line parser reads it back.
void append_quoted(std::wstring& line, const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += arg;
    return;
  }
  line += L'"';
  for (std::size_t i = 0;; ++i) {
    std::size_t backslashes = 0;
    while (i < arg.size() && arg[i] == L'\\') {
      ++i;
      ++backslashes;
    }
    if (i == arg.size()) {
      line.append(backslashes * 2, L'\\');
      break;
    }
    if (arg[i] == L'"') {
      line.append(backslashes * 2 + 1, L'\\');
    } else {
      line.append(backslashes, L'\\');
    }
    line += arg[i];
  }
  line += L'"';
}

std::wstring wide(const std::string& text) { return to_utf16(text).value_or(std::wstring()); }

// This process's environment with the options applied, as the NUL-separated block that
// CreateProcessW takes. Names compare without regard to case, as Windows treats them.
std::wstring build_environment(const ChildOptions& options) {
  std::map<std::string, std::string> env;
  auto upper = [](std::string name) {
    for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return name;
  };
  std::map<std::string, std::string> names;  // upper-case name -> name as given
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* entry = block; entry != nullptr && *entry != L'\0';
       entry += wcslen(entry) + 1) {
    const std::string text = to_utf8(entry);
    const auto eq = text.find('=', 1);  // "=C:=C:\..." entries start with '='
    if (eq == std::string::npos) continue;
    const std::string name = text.substr(0, eq);
    names[upper(name)] = name;
    env[name] = text.substr(eq + 1);
  }
  if (block != nullptr) FreeEnvironmentStringsW(block);
  auto erase = [&](const std::string& name) {
    const auto found = names.find(upper(name));
    if (found == names.end()) return;
    env.erase(found->second);
    names.erase(found);
  };
  for (const auto& name : options.env_unset) erase(name);
  for (const auto& [name, value] : options.env_set) {
    erase(name);
    names[upper(name)] = name;
    env[name] = value;
  }
  std::wstring out;
  for (const auto& [name, value] : env) {
    out += wide(name + "=" + value);
    out += L'\0';
  }
  out += L'\0';
  return out;
}

class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { close(); }
  HANDLE get() const { return handle_; }
  HANDLE* out() { return &handle_; }
  void close() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

// A pipe whose `child_end` is inherited and whose other end is not.
bool make_pipe(Handle& read_end, Handle& write_end, bool child_reads) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  if (!CreatePipe(read_end.out(), write_end.out(), &inherit, 0)) return false;
  HANDLE ours = child_reads ? write_end.get() : read_end.get();
  return SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0) != 0;
}

void drain(HANDLE from, std::string& into) {
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(from, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    into.append(buffer, got);
  }
}

}  // namespace

// Options that only POSIX can honour (another user, address-space and core-file limits) are not
// applied here; the tests that need them run on Linux only.
ChildRun run_child(const std::string& path, std::string_view input, const ChildOptions& options) {
  ChildRun run;
  Handle in_read, in_write, out_read, out_write, err_read, err_write;
  if (!make_pipe(in_read, in_write, true) || !make_pipe(out_read, out_write, false) ||
      !make_pipe(err_read, err_write, false)) {
    return run;
  }
  std::wstring line;
  append_quoted(line, wide(path));
  for (const auto& arg : options.args) {
    line += L' ';
    append_quoted(line, wide(arg));
  }
  std::wstring environment = build_environment(options);
  const std::wstring working_dir = wide(options.working_dir);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in_read.get();
  startup.hStdOutput = out_write.get();
  startup.hStdError = err_write.get();
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(wide(path).c_str(), line.data(), nullptr, nullptr, TRUE,
                      CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, environment.data(),
                      working_dir.empty() ? nullptr : working_dir.c_str(), &startup, &process)) {
    return run;
  }
  Handle child(process.hProcess);
  CloseHandle(process.hThread);
  in_read.close();
  out_write.close();
  err_write.close();
  if (options.close_stdout_early) out_read.close();

  Handle all_fed(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread feeder([&] {
    std::size_t fed = 0;
    while (fed < input.size()) {
      DWORD put = 0;
      const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(input.size() - fed, 1u << 20));
      if (!WriteFile(in_write.get(), input.data() + fed, ask, &put, nullptr) || put == 0) break;
      fed += put;
    }
    in_write.close();
    SetEvent(all_fed.get());
  });
  std::thread out_reader([&] {
    if (out_read.get() != nullptr) drain(out_read.get(), run.stdout_bytes);
  });
  std::thread err_reader([&] { drain(err_read.get(), run.stderr_bytes); });

  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(options.timeout_ms);
  const auto left_ms = [&] {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    return static_cast<DWORD>(left > 0 ? left : 0);
  };
  // The input is written (or the child has ended, which ends the writing too), then the child
  // runs on until it ends or the time is up; a feeder stuck on a child that reads nothing is
  // freed by the child's end.
  const HANDLE fed_or_ended[2] = {all_fed.get(), child.get()};
  bool in_time = WaitForMultipleObjects(2, fed_or_ended, FALSE, left_ms()) != WAIT_TIMEOUT;
  if (in_time) {
    feeder.join();
    if (options.while_running) options.while_running(static_cast<int>(process.dwProcessId));
    in_time = WaitForSingleObject(child.get(), left_ms()) == WAIT_OBJECT_0;
  }
  if (!in_time) {
    run.timed_out = true;
    TerminateProcess(child.get(), 137);
    WaitForSingleObject(child.get(), INFINITE);
  }
  if (feeder.joinable()) feeder.join();
  out_reader.join();
  err_reader.join();
  DWORD code = 0;
  GetExitCodeProcess(child.get(), &code);
  run.exit_status = static_cast<int>(code);
  return run;
}

}  // namespace quarn::platform
