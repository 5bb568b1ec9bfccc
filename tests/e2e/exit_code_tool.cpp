// Runs a command line as a management tool does (CreateProcess, then wait) and prints the whole exit code,
// which Wine's own exit status would cut to its low byte (3010 and 1638 among the setup's codes):
//   exit_code_tool "<command line>"       that command line
//   exit_code_tool @<value name>          the command line in that value of Lumar's entry in Apps
//                                         (UninstallString, QuietUninstallString), as it stands
// The last line printed is "exit code N"; the tool itself exits 0 when the command ran, 2 otherwise.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: exit_code_tool \"<command line>\" | @<value name>\n");
    return 2;
  }
  char command[2048] = {};
  if (argv[1][0] == '@') {
    DWORD size = sizeof command - 1;
    const LSTATUS read =
        RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumar",
                     argv[1] + 1, RRF_RT_REG_SZ, nullptr, command, &size);
    if (read != ERROR_SUCCESS) {
      std::fprintf(stderr, "no value %s: error %ld\n", argv[1] + 1, static_cast<long>(read));
      return 2;
    }
  } else {
    lstrcpynA(command, argv[1], sizeof command);
  }
  std::printf("%s\n", command);
  std::fflush(stdout);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "cannot start it: error %lu\n", GetLastError());
    return 2;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  const BOOL known = GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (!known) return 2;
  std::printf("exit code %lu\n", code);
  return 0;
}
