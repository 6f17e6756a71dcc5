// quorvantline: a command window whose commands come from Lua plugin scripts.
#include <windows.h>

#include "app/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  return qv::RunProgram(instance, showCommand);
}
