#include "console/date_text.h"

#include "app/text.h"

namespace qv {

std::wstring DateText(const SYSTEMTIME& time) {
  return DecimalText(time.wYear) + L"-" + TwoDigits(time.wMonth) + L"-" + TwoDigits(time.wDay);
}

std::wstring LocalDateText() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return DateText(now);
}

}  // namespace qv
