// The nineteen facts about program, process and machine that scripts read
// through host.system. Every fact is display-ready text.
#pragma once

#include <string>

namespace qv {

struct SystemInfo {
  std::wstring version;
  std::wstring machineCode;
  std::wstring compiler;
  std::wstring arch;
  std::wstring exePath;
  std::wstring workingDir;
  std::wstring pid;
  std::wstring dpi;
  std::wstring os;
  std::wstring sysArch;
  std::wstring cpu;
  std::wstring cpuCount;
  std::wstring memory;
  std::wstring computer;
  std::wstring user;
  std::wstring locale;
  std::wstring codePage;
  std::wstring systemDir;
  std::wstring uptime;
};

// Field names (the keys of the host.system table) with their members, in order.
struct SystemInfoField {
  const char* name;
  std::wstring SystemInfo::*member;
};
inline constexpr SystemInfoField kSystemInfoFields[] = {
    {"version", &SystemInfo::version},   {"machineCode", &SystemInfo::machineCode},
    {"compiler", &SystemInfo::compiler}, {"arch", &SystemInfo::arch},
    {"exePath", &SystemInfo::exePath},   {"workingDir", &SystemInfo::workingDir},
    {"pid", &SystemInfo::pid},           {"dpi", &SystemInfo::dpi},
    {"os", &SystemInfo::os},             {"sysArch", &SystemInfo::sysArch},
    {"cpu", &SystemInfo::cpu},           {"cpuCount", &SystemInfo::cpuCount},
    {"memory", &SystemInfo::memory},     {"computer", &SystemInfo::computer},
    {"user", &SystemInfo::user},         {"locale", &SystemInfo::locale},
    {"codePage", &SystemInfo::codePage}, {"systemDir", &SystemInfo::systemDir},
    {"uptime", &SystemInfo::uptime},
};

}  // namespace qv

namespace qv {

// Collects every fact afresh (the machine code once per process).
SystemInfo CollectSystemInfo(int dpi);

}  // namespace qv
