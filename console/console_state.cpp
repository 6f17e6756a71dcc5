#include "console/console_state.h"

namespace qv {

ConsoleState& Console() {
  static ConsoleState state;
  return state;
}

}  // namespace qv
