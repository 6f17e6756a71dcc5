#include "console/date_text.h"

namespace qv {

std::wstring LocalDateText() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return DateText(now);
}

}  // namespace qv
