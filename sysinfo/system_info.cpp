#include "sysinfo/system_info.h"

#include <windows.h>

#include <vector>

#include "base/files.h"
#include "base/constants.h"
#include "base/text.h"
#include "sysinfo/system_facts.h"

namespace qv {
namespace {

constexpr DWORD kLongPathBuffer = 32'768;

std::wstring WorkingDirectoryText() {
  std::vector<wchar_t> buffer(kLongPathBuffer);
  const DWORD length = GetCurrentDirectoryW(kLongPathBuffer, buffer.data());
  // A directory longer than the buffer reports its needed size instead.
  if (length == 0 || length >= kLongPathBuffer) return kUnknownText;
  return std::wstring(buffer.data(), length);
}

std::wstring SystemDirectoryText() {
  std::vector<wchar_t> buffer(kLongPathBuffer);
  const UINT length = GetSystemDirectoryW(buffer.data(), kLongPathBuffer);
  if (length == 0 || length >= kLongPathBuffer) return kUnknownText;
  return std::wstring(buffer.data(), length);
}

std::wstring PhysicalMemoryText() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof(status);
  if (!GlobalMemoryStatusEx(&status)) return kUnknownText;
  return MemoryText(status.ullTotalPhys, status.ullAvailPhys);
}

std::wstring UserLanguageText() {
  const LANGID language = GetUserDefaultUILanguage();
  wchar_t buffer[128] = {};
  const int length = GetLocaleInfoW(language, LOCALE_SLANGUAGE, buffer, 128);
  if (length >= 1) return std::wstring(buffer);  // up to its terminator
  return L"LCID " + DecimalText(language);
}

}  // namespace

SystemInfo CollectSystemInfo(int dpi) {
  SystemInfo info;
  info.version = kProgramVersion;
  info.machineCode = MachineCode();
  info.compiler = L"MinGW-w64 / GCC";
  info.arch = L"x64";
  info.exePath = ExecutablePath();
  info.workingDir = WorkingDirectoryText();
  info.pid = DecimalText(GetCurrentProcessId());
  info.dpi = DecimalText(dpi);
  info.os = OsVersionText();
  info.sysArch = NativeArchitecture();
  info.cpu = EnvironmentText(L"PROCESSOR_IDENTIFIER");
  info.cpuCount = EnvironmentText(L"NUMBER_OF_PROCESSORS");
  info.memory = PhysicalMemoryText();
  info.computer = ComputerNameText();
  info.user = EnvironmentText(L"USERNAME");
  info.locale = UserLanguageText();
  info.codePage = DecimalText(GetACP());
  info.systemDir = SystemDirectoryText();
  info.uptime = UptimeText(GetTickCount64());
  return info;
}

}  // namespace qv
