// The single facts behind CollectSystemInfo: plain formatting functions of
// their inputs, and the readers that ask the system and fall back on their own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

inline constexpr wchar_t kUnknownText[] = L"未知";
inline constexpr wchar_t kNotSetText[] = L"(未设置)";

// ---- Formatting ---------------------------------------------------------------
// "0 小时 7 分钟"; from one day on "3 天 4 小时 0 分钟". Seconds are never shown.
std::wstring UptimeText(std::uint64_t milliseconds);
// "<total> MB（可用 <available> MB）", both in whole MiB, truncated.
std::wstring MemoryText(std::uint64_t totalBytes, std::uint64_t availableBytes);
// "Windows 11 (10.0.22631)", "Windows 10 (10.0.19045)", "Windows (6.1.7601)".
std::wstring OsVersionName(std::uint32_t major, std::uint32_t minor, std::uint32_t build);
// wProcessorArchitecture of SYSTEM_INFO to its name; "未知" for any other value.
std::wstring ArchitectureName(std::uint16_t processorArchitecture);
// "QL-XXXX-XXXX-XXXX-XXXX" from the 64-bit hash of the source's UTF-16 code units.
std::wstring MachineCodeFromSource(std::wstring_view source);
// The source used when the machine GUID cannot be read: "<computer>|<serial>|<arch>";
// an empty serial leaves both separators in place.
std::wstring FallbackMachineCodeSource(std::wstring_view computer, std::wstring_view volumeSerial,
                                       std::wstring_view architecture);

// ---- Readers ------------------------------------------------------------------
// The variable's value, or "(未设置)" when it is missing or empty.
std::wstring EnvironmentText(const std::wstring& name);
// The machine's own processor architecture, whatever this program is built for.
std::wstring NativeArchitecture();
// The Windows name and version through RtlGetVersion; "未知" without it.
std::wstring OsVersionText();
// The computer name, or "未知".
std::wstring ComputerNameText();
// The machine GUID when readable, else the fallback source.
std::wstring MachineCodeSource();
// The machine code of this process: computed on the first call only, then kept.
const std::wstring& MachineCode();

}  // namespace qv
