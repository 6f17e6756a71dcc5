// What every call into a plugin's Lua state may take: time, memory, and how
// much of an error's text leaves the state.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {

// Time limit of every call into script code, in milliseconds.
inline constexpr std::uint64_t kScriptTimeLimitMs = 5000;
// How long past its deadline a call that no hook reaches is waited for.
inline constexpr std::uint64_t kStuckCallGraceMs = 2000;
inline constexpr const char* kTimeLimitMessage = "脚本执行超过 5 秒，已中断（可能存在死循环）";
inline constexpr const char* kStoppedMessage = "已按 Esc 停止这条命令";
// Most bytes one plugin's Lua state may hold.
inline constexpr std::size_t kStateMemoryLimit = std::size_t{256} << 20;
// UTF-8 bytes kept of one error's text.
inline constexpr std::size_t kErrorTextLimit = 65536;

}  // namespace qv
