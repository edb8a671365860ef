// rgb565 started as a Windows process, its standard input a pipe: however the process ends, the copy
// of standard input that it was writing goes with it.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "testing/test_files.h"

namespace {

// An environment variable set for the processes started while this lives, then put back.
class EnvironmentSetting {
 public:
  EnvironmentSetting(const char* name, const std::string& value) : name_(name) {
    char old[MAX_PATH * 2];
    const DWORD length = GetEnvironmentVariableA(name, old, sizeof old);
    if (length > 0 && length < sizeof old) old_ = std::string(old, length);
    SetEnvironmentVariableA(name, value.c_str());
  }
  ~EnvironmentSetting() { SetEnvironmentVariableA(name_, old_ ? old_->c_str() : nullptr); }
  EnvironmentSetting(const EnvironmentSetting&) = delete;
  EnvironmentSetting& operator=(const EnvironmentSetting&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

bool holds_a_written_file(const std::filesystem::path& folder) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    if (std::filesystem::file_size(entry.path(), error) > 0 && !error) return true;
  return false;
}

// The copy is being written (a PNG's start, the pipe still open) when the process is ended outright,
// with no handler run: the system removes the copy, and the old output stays.
TEST(Rgb565Win32Process, AKilledRunLeavesNoCopyOfStandardInput) {
  TempDir dir;
  const std::filesystem::path temporary = dir.path() / "tmp";
  std::filesystem::create_directory(temporary);
  write_file(dir.file("out.bin"), Bytes{'o', 'l', 'd'});

  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE pipe_read = nullptr;
  HANDLE pipe_write = nullptr;
  ASSERT_TRUE(CreatePipe(&pipe_read, &pipe_write, &inherited, 0));
  SetHandleInformation(pipe_write, HANDLE_FLAG_INHERIT, 0);
  const HANDLE nothing =
      CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = pipe_read;
  startup.hStdOutput = nothing;
  startup.hStdError = nothing;
  PROCESS_INFORMATION process{};
  std::string command = std::string("\"") + RGB565_PROGRAM + "\" pack - \"" + dir.file("out.bin") + "\"";
  BOOL started = FALSE;
  {
    const EnvironmentSetting tmp("TMP", temporary.string());
    const EnvironmentSetting temp("TEMP", temporary.string());
    started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  }
  CloseHandle(pipe_read);
  CloseHandle(nothing);
  ASSERT_TRUE(started) << GetLastError();

  Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  png.resize(100000, 0);
  DWORD wrote = 0;
  EXPECT_TRUE(WriteFile(pipe_write, png.data(), static_cast<DWORD>(png.size()), &wrote, nullptr));
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!holds_a_written_file(temporary) && std::chrono::steady_clock::now() < give_up)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(holds_a_written_file(temporary)) << "standard input was not being copied";

  TerminateProcess(process.hProcess, 1);
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(pipe_write);
  // The system closes the dead process's handles, the last of which deletes the file.
  const auto gone_by = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!std::filesystem::is_empty(temporary) && std::chrono::steady_clock::now() < gone_by)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(std::filesystem::is_empty(temporary));
  EXPECT_EQ(read_file(dir.file("out.bin")), (Bytes{'o', 'l', 'd'}));
}

}  // namespace
