// The password-change mode (/a <parent>) against the three MPR.DLLs it can meet: none, one without
// PwdChangePasswordA, and our stand-in that records its call. Which MPR.DLL a process gets is decided
// when it starts (Wine's per-program DLL overrides), so each case runs start-up in a child process of
// this program.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host/saver_app_win32.h"
#include "platform/message_box_win32.h"
#include "platform/millisecond_clock.h"

namespace lumar {
namespace {

constexpr const char* kChildTest = "PasswordChangeChild.DISABLED_StartsUp";

std::string Environment(const char* name) {
  char value[1024] = {};
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ProgramPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  return path;
}

std::string ProgramFolder() {
  const std::string path = ProgramPath();
  return path.substr(0, path.find_last_of("\\/"));
}

// Wine's load order for MPR.DLL in processes of this program ("" none, "native" the one found on the
// search path), read when a process starts; removed again afterwards. This process never loads MPR.DLL.
class MprLoadOrder {
 public:
  explicit MprLoadOrder(const char* order) {
    const std::string path = ProgramPath();
    key_ = "Software\\Wine\\AppDefaults\\" + path.substr(path.find_last_of("\\/") + 1) + "\\DllOverrides";
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
      RegSetValueExA(key, "mpr", 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                     static_cast<DWORD>(std::strlen(order) + 1));
      RegCloseKey(key);
    }
  }
  MprLoadOrder(const MprLoadOrder&) = delete;
  MprLoadOrder& operator=(const MprLoadOrder&) = delete;
  ~MprLoadOrder() { RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str()); }

 private:
  std::string key_;
};

// The messages the child's start-up showed, one "type|text" line each.
std::string* messageLog = nullptr;
void RecordMessage(const char* text, UINT type) {
  std::ofstream(*messageLog, std::ios::app | std::ios::binary) << type << '|' << text << '\n';
}

// Runs in the child only (the parent names it explicitly): start-up with LUMAR_CHILD_ARGUMENTS, its
// messages written to LUMAR_CHILD_MESSAGES, MPR.DLL looked for in LUMAR_CHILD_DLL_FOLDER as well.
TEST(PasswordChangeChild, DISABLED_StartsUp) {
  std::string log = Environment("LUMAR_CHILD_MESSAGES");
  ASSERT_FALSE(log.empty());
  const std::string folder = Environment("LUMAR_CHILD_DLL_FOLDER");
  if (!folder.empty()) SetDllDirectoryA(folder.c_str());
  messageLog = &log;
  const MessageSink previous = SetMessageSink(RecordMessage);
  ManualClock clock;
  SaverApp app(GetModuleHandleA(nullptr), clock);
  EXPECT_FALSE(app.StartUp(Environment("LUMAR_CHILD_ARGUMENTS")));
  EXPECT_EQ(app.mode(), ScreenSaverMode::ChangePassword);
  EXPECT_EQ(app.mainWindow(), nullptr);
  app.Close();
  SetMessageSink(previous);
  messageLog = nullptr;
}

struct ChildRun {
  DWORD exitCode = 1;
  std::string messages;  // "type|text" lines
  std::string calls;     // PwdChangePasswordA calls of our stand-in: "provider parent flags reserved"
};

// Environment variables set for the child and put back afterwards.
class ChildEnvironment {
 public:
  ~ChildEnvironment() {
    for (const auto& [name, value] : saved_)
      SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str());
  }
  void Set(const char* name, const std::string& value) {
    saved_.emplace_back(name, Environment(name));
    SetEnvironmentVariableA(name, value.c_str());
  }

 private:
  std::vector<std::pair<std::string, std::string>> saved_;
};

// `mpr` is the load order for MPR.DLL (see MprLoadOrder); `dllFolder` a folder beside this program that
// holds one of our MPR.DLLs.
ChildRun RunChild(const std::string& arguments, const char* mpr, const std::string& dllFolder) {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  const std::string stem = std::string(temp) + "lumar_password_" + std::to_string(GetCurrentProcessId());
  const std::string messages = stem + "_messages.txt";
  const std::string calls = stem + "_calls.txt";
  DeleteFileA(messages.c_str());
  DeleteFileA(calls.c_str());

  ChildRun run;
  {
    const MprLoadOrder loadOrder(mpr);
    ChildEnvironment environment;
    environment.Set("LUMAR_CHILD_ARGUMENTS", arguments);
    environment.Set("LUMAR_CHILD_MESSAGES", messages);
    environment.Set("LUMAR_CHILD_DLL_FOLDER", dllFolder.empty() ? "" : ProgramFolder() + "\\" + dllFolder);
    environment.Set("LUMAR_MPR_DOUBLE_LOG", calls);

    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, sizeof program);
    std::string commandLine =
        std::string("\"") + program + "\" --gtest_also_run_disabled_tests --gtest_filter=" + kChildTest;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
      return run;
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
      GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  run.messages = ReadFile(messages);
  run.calls = ReadFile(calls);
  DeleteFileA(messages.c_str());
  DeleteFileA(calls.c_str());
  return run;
}

TEST(PasswordChange, WithoutMprSaysTheLibraryIsMissing) {
  const ChildRun run = RunChild("/a 655370", "", "");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.messages, std::to_string(MB_OK) + "|Library MPR.DLL not found\n");
  EXPECT_EQ(run.calls, "");
}

TEST(PasswordChange, WithoutPwdChangePasswordASaysTheFunctionIsMissing) {
  const ChildRun run = RunChild("-A 655370", "native", "mpr_double_without_change");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.messages, std::to_string(MB_OK) + "|Function PwdChangeProc not found\n");
  EXPECT_EQ(run.calls, "");
}

TEST(PasswordChange, CallsPwdChangePasswordAWithTheProviderAndTheParent) {
  // The parent is the low 16 bits of the number: 655370 = 0xA000A names window 10.
  const ChildRun run = RunChild("/a 655370", "native", "mpr_double");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.messages, "");
  EXPECT_EQ(run.calls, "SCRSAVE 10 0 0\n");
}

TEST(PasswordChange, WithoutAParentPassesNone) {
  const ChildRun run = RunChild("a", "native", "mpr_double");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.calls, "SCRSAVE 0 0 0\n");
}

}  // namespace
}  // namespace lumar
