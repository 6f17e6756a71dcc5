#include "sysinfo/system_facts.h"

#include <windows.h>

#include <mutex>
#include <vector>

#include "base/handles.h"
#include "base/system_calls.h"
#include "base/text.h"

namespace qv {
namespace {

constexpr std::uint64_t kMillisecondsPerDay = 86'400'000;
constexpr std::uint64_t kBytesPerMegabyte = 1'048'576;
constexpr std::uint64_t kMachineCodeSeed = 0x3C5A7E91D2F40B68ull;
constexpr std::uint64_t kFnvPrime = 0x100000001B3ull;

// The "MachineGuid" value, or empty when it cannot be read as a string.
std::wstring MachineGuid() {
  constexpr wchar_t kSubkey[] = L"SOFTWARE\\Microsoft\\Cryptography";
  UniqueRegistryKey key;
  // The 64-bit view first; without it the plain view.
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSubkey, 0, KEY_READ | KEY_WOW64_64KEY, key.put()) != ERROR_SUCCESS &&
      RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSubkey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    return {};
  }
  wchar_t buffer[256] = {};  // 512 bytes
  DWORD size = sizeof(buffer);
  DWORD type = 0;
  const LSTATUS status =
      RegQueryValueExW(key.get(), L"MachineGuid", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  if (status != ERROR_SUCCESS || type != REG_SZ || size < 2) return {};
  // A value that fills the whole buffer has no terminator of its own.
  std::size_t length = 0;
  while (length < std::size(buffer) && buffer[length] != L'\0') ++length;
  return std::wstring(buffer, length);
}

// The volume serial number of the Windows drive in decimal, or empty.
std::wstring WindowsVolumeSerial() {
  wchar_t windowsDir[MAX_PATH] = {};
  if (GetWindowsDirectoryW(windowsDir, MAX_PATH) == 0) return {};
  const wchar_t root[] = {windowsDir[0], L':', L'\\', L'\0'};
  DWORD serial = 0;
  if (!GetVolumeInformationW(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) return {};
  return DecimalText(serial);
}

}  // namespace

// ---- Formatting ---------------------------------------------------------------

std::wstring UptimeText(std::uint64_t milliseconds) {
  std::wstring text;
  if (milliseconds >= kMillisecondsPerDay) {
    text = DecimalText(static_cast<long long>(milliseconds / kMillisecondsPerDay)) + L" 天 ";
  }
  const std::uint64_t seconds = (milliseconds / 1000) % 86'400;
  text += DecimalText(static_cast<long long>(seconds / 3600)) + L" 小时 " +
          DecimalText(static_cast<long long>(seconds % 3600 / 60)) + L" 分钟";
  return text;
}

std::wstring MemoryText(std::uint64_t totalBytes, std::uint64_t availableBytes) {
  return DecimalText(static_cast<long long>(totalBytes / kBytesPerMegabyte)) + L" MB（可用 " +
         DecimalText(static_cast<long long>(availableBytes / kBytesPerMegabyte)) + L" MB）";
}

std::wstring OsVersionName(std::uint32_t major, std::uint32_t minor, std::uint32_t build) {
  std::wstring name = L"Windows";
  if (major == 10) name = build >= 22000 ? L"Windows 11" : L"Windows 10";
  return name + L" (" + DecimalText(major) + L"." + DecimalText(minor) + L"." + DecimalText(build) + L")";
}

std::wstring ArchitectureName(std::uint16_t processorArchitecture) {
  switch (processorArchitecture) {
    case 0: return L"x86";     // PROCESSOR_ARCHITECTURE_INTEL
    case 5: return L"ARM";     // PROCESSOR_ARCHITECTURE_ARM
    case 9: return L"x64";     // PROCESSOR_ARCHITECTURE_AMD64
    case 12: return L"ARM64";  // PROCESSOR_ARCHITECTURE_ARM64
    default: return kUnknownText;
  }
}

std::wstring MachineCodeFromSource(std::wstring_view source) {
  // FNV-1a over UTF-16 code units, from the program's own seed.
  std::uint64_t hash = kMachineCodeSeed;
  for (wchar_t unit : source) {
    hash ^= static_cast<std::uint16_t>(unit);
    hash *= kFnvPrime;
  }
  constexpr wchar_t kHexDigits[] = L"0123456789ABCDEF";
  std::wstring digits(16, L'0');
  for (int i = 15; i >= 0; --i, hash >>= 4) digits[i] = kHexDigits[hash & 0xF];
  return L"QL-" + digits.substr(0, 4) + L"-" + digits.substr(4, 4) + L"-" + digits.substr(8, 4) + L"-" +
         digits.substr(12, 4);
}

std::wstring FallbackMachineCodeSource(std::wstring_view computer, std::wstring_view volumeSerial,
                                       std::wstring_view architecture) {
  std::wstring source(computer);
  source += L'|';
  source += volumeSerial;
  source += L'|';
  source += architecture;
  return source;
}

// ---- Readers ------------------------------------------------------------------

std::wstring EnvironmentText(const std::wstring& name) {
  const DWORD needed = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
  if (needed == 0) return kNotSetText;
  std::vector<wchar_t> buffer(needed);
  const DWORD length = GetEnvironmentVariableW(name.c_str(), buffer.data(), needed);
  // Zero also for a variable whose value is empty; a value that grew in between
  // reports its new size, which is not a length inside the buffer.
  if (length == 0 || length >= needed) return kNotSetText;
  return std::wstring(buffer.data(), length);
}

std::wstring NativeArchitecture() {
  SYSTEM_INFO info{};
  GetNativeSystemInfo(&info);
  return ArchitectureName(info.wProcessorArchitecture);
}

std::wstring OsVersionText() {
  RTL_OSVERSIONINFOW version{};
  if (!RealWindowsVersion(version)) return kUnknownText;
  return OsVersionName(version.dwMajorVersion, version.dwMinorVersion, version.dwBuildNumber);
}

std::wstring ComputerNameText() {
  wchar_t buffer[256] = {};
  DWORD size = 256;
  if (!GetComputerNameW(buffer, &size)) return kUnknownText;
  return std::wstring(buffer, size);
}

std::wstring MachineCodeSource() {
  std::wstring guid = MachineGuid();
  if (!guid.empty()) return guid;
  return FallbackMachineCodeSource(ComputerNameText(), WindowsVolumeSerial(), NativeArchitecture());
}

const std::wstring& MachineCode() {
  // A function-local static is initialized exactly once; a second caller waits.
  static const std::wstring code = MachineCodeFromSource(MachineCodeSource());
  return code;
}

}  // namespace qv
