/*
** linterrupt.h
** A way for the embedding program to stop library calls that would run
** long inside C: pattern matching, sorting and loops over table ranges
** count their work and, every LUAI_WORKSTEP units, call 'lua_interrupthook'
** with the running state. The hook may raise an error to stop the call.
** Not part of stock Lua: the build compiles patched copies of lstrlib.c
** and ltablib.c that use it (see lua-limits.cmake beside this file).
*/

#ifndef linterrupt_h
#define linterrupt_h

#include <stddef.h>

#include "lua.h"


/* Called every LUAI_WORKSTEP units of work; null (the default): never. */
extern void (*lua_interrupthook) (lua_State *L);


/*
** One unit is about one step of the pattern matcher (a few nanoseconds),
** so the hook runs every few tenths of a millisecond of library work:
** often enough to stop near a deadline, rarely enough to cost nothing.
*/
#define LUAI_WORKSTEP	100000

/* reading and writing one table element, or one comparison in 'sort' */
#define LUAI_ELEMWORK	16

/* comparing or scanning 'n' bytes */
#define luai_bytework(n)	((ptrdiff_t)((n) >> 6))

/*
** Counts 'n' units on the budget 'w' (a ptrdiff_t that starts at
** LUAI_WORKSTEP) and calls the hook when the budget is spent.
*/
#define luai_countwork(L,w,n) \
  { if (l_unlikely(((w) -= (n)) < 0)) luai_workspent(L, &(w)); }

/* Refills the budget '*w' and calls the hook (out of line: it is rare). */
void luai_workspent (lua_State *L, ptrdiff_t *w);

#endif
