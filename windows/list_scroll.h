// A list that shows some of its rows at a time: where it stands after a key,
// a wheel turn or a drag of its scroll bar, and where that bar is drawn. Plain
// functions, shared by the plugin manager and the drop-up menu.
#pragma once

#include <windows.h>

#include <optional>

namespace qv {

// `visible` of `count` rows are shown, from row `top` on.
struct ListScroll {
  int count = 0;
  int visible = 0;
  int top = 0;
};

// Rows moved by one notch of the mouse wheel.
inline constexpr int kWheelRows = 3;

inline bool Scrolls(const ListScroll& list) { return list.count > list.visible; }
int MaxScrollTop(const ListScroll& list);
int ClampScrollTop(const ListScroll& list, int top);
// The top after Up, Down, Page Up, Page Down, Home or End; nothing for other keys.
std::optional<int> ScrollTopForKey(const ListScroll& list, UINT key);
// The top after a wheel turn of delta (WHEEL_DELTA a notch, positive away
// from the user): kWheelRows a notch, at least one row for any turn.
int ScrollTopForWheel(const ListScroll& list, int delta);

// The thumb inside the scroll bar's track, at least minThumb long; empty when
// the list does not scroll.
RECT ScrollThumbRect(const RECT& track, const ListScroll& list, int minThumb);
// The top for a thumb whose upper edge is dragged to thumbTop.
int ScrollTopForThumb(const RECT& track, const ListScroll& list, int minThumb, int thumbTop);

}  // namespace qv
