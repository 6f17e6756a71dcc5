/*
** linterrupt.c
** The hook declared in linterrupt.h.
*/

#define LUA_LIB

#include "lprefix.h"

#include "linterrupt.h"


void (*lua_interrupthook) (lua_State *L) = NULL;
