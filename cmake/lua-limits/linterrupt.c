/*
** linterrupt.c
** The hook declared in linterrupt.h.
*/

#define LUA_LIB

#include "lprefix.h"

#include "linterrupt.h"


void (*lua_interrupthook) (lua_State *L) = NULL;


void luai_workspent (lua_State *L, ptrdiff_t *w) {
  *w = LUAI_WORKSTEP;
  if (lua_interrupthook)
    lua_interrupthook(L);
}
