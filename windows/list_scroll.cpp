#include "windows/list_scroll.h"

#include <algorithm>

namespace qv {

int MaxScrollTop(const ListScroll& list) { return std::max(list.count - std::max(list.visible, 1), 0); }

int ClampScrollTop(const ListScroll& list, int top) { return std::clamp(top, 0, MaxScrollTop(list)); }

std::optional<int> ScrollTopForKey(const ListScroll& list, UINT key) {
  const int page = std::max(list.visible - 1, 1);
  switch (key) {
    case VK_UP: return ClampScrollTop(list, list.top - 1);
    case VK_DOWN: return ClampScrollTop(list, list.top + 1);
    case VK_PRIOR: return ClampScrollTop(list, list.top - page);
    case VK_NEXT: return ClampScrollTop(list, list.top + page);
    case VK_HOME: return 0;
    case VK_END: return MaxScrollTop(list);
    default: return std::nullopt;
  }
}

int ScrollTopForWheel(const ListScroll& list, int delta) {
  if (delta == 0) return list.top;
  int rows = delta * kWheelRows / WHEEL_DELTA;
  if (rows == 0) rows = delta > 0 ? 1 : -1;
  return ClampScrollTop(list, list.top - rows);
}

namespace {

int ThumbLength(const RECT& track, const ListScroll& list, int minThumb) {
  const int length = track.bottom - track.top;
  return std::min(std::max(length * list.visible / std::max(list.count, 1), minThumb), length);
}

}  // namespace

RECT ScrollThumbRect(const RECT& track, const ListScroll& list, int minThumb) {
  if (!Scrolls(list)) return RECT{};
  const int thumb = ThumbLength(track, list, minThumb);
  const int travel = (track.bottom - track.top) - thumb;
  const int top = track.top + travel * ClampScrollTop(list, list.top) / MaxScrollTop(list);
  return RECT{track.left, top, track.right, top + thumb};
}

int ScrollTopForThumb(const RECT& track, const ListScroll& list, int minThumb, int thumbTop) {
  if (!Scrolls(list)) return 0;
  const int travel = (track.bottom - track.top) - ThumbLength(track, list, minThumb);
  if (travel <= 0) return list.top;
  const int offset = std::clamp(thumbTop - static_cast<int>(track.top), 0, travel);
  // Rounded to the nearest row, so the thumb lands where it is let go.
  return ClampScrollTop(list, (offset * MaxScrollTop(list) + travel / 2) / travel);
}

}  // namespace qv
