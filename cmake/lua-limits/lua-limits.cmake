# Bounded library calls: copies of lstrlib.c and ltablib.c in which the loops
# that can run for minutes inside C (pattern matching, plain find, sort, and
# the element loops of table.insert/remove/move/concat/unpack) count their
# work and call the hook of linterrupt.h every so many steps.
#
# The unpacked sources stay untouched: each file is read, every change below
# is applied as a text replacement (each original text must occur exactly
# once, so a different Lua release fails here instead of building something
# else), and the result is written to the build folder. Only CMake itself is
# needed, so this works wherever the project builds.

set(QV_LUA_LIMITS_DIR "${CMAKE_CURRENT_LIST_DIR}")

# Replaces the one occurrence of `original` in the variable named `var`.
function(qv_lua_replace var original replacement)
  string(FIND "${${var}}" "${original}" first)
  string(FIND "${${var}}" "${original}" last REVERSE)
  if(first EQUAL -1 OR NOT first EQUAL last)
    message(FATAL_ERROR "lua-limits: expected exactly one occurrence of:\n${original}\nin ${QV_LUA_PATCHING}")
  endif()
  string(REPLACE "${original}" "${replacement}" result "${${var}}")
  set(${var} "${result}" PARENT_SCOPE)
endfunction()

# ---- lstrlib.c: the pattern matcher and plain find -------------------------
function(qv_lua_limits_lstrlib var)
  qv_lua_replace(${var} [[#include "lualib.h"
]] [[#include "lualib.h"
#include "linterrupt.h"
]])
  # Plain find: each candidate position costs a memcmp of the pattern.
  qv_lua_replace(${var} [[static const char *lmemfind (const char *s1, size_t l1,
                               const char *s2, size_t l2) {]]
[[static const char *lmemfind (lua_State *L, const char *s1, size_t l1,
                               const char *s2, size_t l2) {
  ptrdiff_t work = LUAI_WORKSTEP;]])
  qv_lua_replace(${var} [[      init++;   /* 1st char is already checked */
]] [[      init++;   /* 1st char is already checked */
      luai_countwork(L, work, 1 + luai_bytework(l2));
]])
  qv_lua_replace(${var} [[lmemfind(s + init, ls - init, p, lp)]] [[lmemfind(L, s + init, ls - init, p, lp)]])
  # The matcher keeps its budget in its state, so that gmatch carries it over.
  qv_lua_replace(${var} [[  unsigned char level;  /* total number of captures (finished or unfinished) */
]] [[  unsigned char level;  /* total number of captures (finished or unfinished) */
  ptrdiff_t work;  /* budget until the next interrupt check */
]])
  qv_lua_replace(${var} [[  ms->matchdepth = MAXCCALLS;
]] [[  ms->matchdepth = MAXCCALLS;
  ms->work = LUAI_WORKSTEP;
]])
  # One unit for every pattern item tried (recursive call or tail jump) ...
  qv_lua_replace(${var} [[  init: /* using goto's to optimize tail recursion */
]] [[  init: /* using goto's to optimize tail recursion */
  luai_countwork(ms->L, ms->work, 1);
]])
  # ... plus what costs more than a step: a set costs its length wherever it
  # is tried (after classend, and in the two expand loops), a balance scan
  # its length, a back reference its comparison.
  qv_lua_replace(${var} [[        const char *ep = classend(ms, p);  /* points to optional suffix */
]] [[        const char *ep = classend(ms, p);  /* points to optional suffix */
        if (*p == '[') luai_countwork(ms->L, ms->work, ep - p);
]])
  qv_lua_replace(${var} [[            ep = classend(ms, p);  /* points to what is next */
]] [[            ep = classend(ms, p);  /* points to what is next */
            luai_countwork(ms->L, ms->work, ep - p);
]])
  qv_lua_replace(${var} [[  ptrdiff_t i = 0;  /* counts maximum expand for item */
  while (singlematch(ms, s + i, p, ep))
    i++;
]] [[  ptrdiff_t i = 0;  /* counts maximum expand for item */
  ptrdiff_t set = (*p == '[') ? ep - p : 0;
  while (singlematch(ms, s + i, p, ep)) {
    i++;
    if (set) luai_countwork(ms->L, ms->work, set);
  }
]])
  qv_lua_replace(${var} [[    else if (singlematch(ms, s, p, ep))
      s++;  /* try with one more repetition */
]] [[    else if (singlematch(ms, s, p, ep)) {
      s++;  /* try with one more repetition */
      if (*p == '[') luai_countwork(ms->L, ms->work, ep - p);
    }
]])
  qv_lua_replace(${var} [[    int cont = 1;
    while (++s < ms->src_end) {
      if (*s == e) {
        if (--cont == 0) return s+1;
      }
      else if (*s == b) cont++;
    }
]] [[    int cont = 1;
    const char *start = s;
    while (++s < ms->src_end) {
      if (*s == e) {
        if (--cont == 0) {
          luai_countwork(ms->L, ms->work, luai_bytework(s - start));
          return s+1;
        }
      }
      else if (*s == b) cont++;
    }
    luai_countwork(ms->L, ms->work, luai_bytework(s - start));
]])
  qv_lua_replace(${var} [[  len = ms->capture[l].len;
]] [[  len = ms->capture[l].len;
  luai_countwork(ms->L, ms->work, luai_bytework(len));
]])
  set(${var} "${${var}}" PARENT_SCOPE)
endfunction()

# ---- ltablib.c: element loops and sort ---------------------------------------
function(qv_lua_limits_ltablib var)
  qv_lua_replace(${var} [[#include "lualib.h"
]] [[#include "lualib.h"
#include "linterrupt.h"
]])
  qv_lua_replace(${var} [[      for (i = e; i > pos; i--) {  /* move up elements */
]] [[      ptrdiff_t work = LUAI_WORKSTEP;
      for (i = e; i > pos; i--) {  /* move up elements */
        luai_countwork(L, work, LUAI_ELEMWORK);
]])
  qv_lua_replace(${var} [[  for ( ; pos < size; pos++) {
]] [[  ptrdiff_t work = LUAI_WORKSTEP;
  for ( ; pos < size; pos++) {
    luai_countwork(L, work, LUAI_ELEMWORK);
]])
  qv_lua_replace(${var} [[    lua_Integer n, i;
]] [[    lua_Integer n, i;
    ptrdiff_t work = LUAI_WORKSTEP;
]])
  qv_lua_replace(${var} [[      for (i = 0; i < n; i++) {
]] [[      for (i = 0; i < n; i++) {
        luai_countwork(L, work, LUAI_ELEMWORK);
]])
  qv_lua_replace(${var} [[      for (i = n - 1; i >= 0; i--) {
]] [[      for (i = n - 1; i >= 0; i--) {
        luai_countwork(L, work, LUAI_ELEMWORK);
]])
  qv_lua_replace(${var} [[  luaL_buffinit(L, &b);
  for (; i < last; i++) {
]] [[  luaL_buffinit(L, &b);
  ptrdiff_t work = LUAI_WORKSTEP;
  for (; i < last; i++) {
    luai_countwork(L, work, LUAI_ELEMWORK);
]])
  qv_lua_replace(${var} [[  for (; i < e; i++) {  /* push arg[i..e - 1] (to avoid overflows) */
]] [[  ptrdiff_t work = LUAI_WORKSTEP;
  for (; i < e; i++) {  /* push arg[i..e - 1] (to avoid overflows) */
    luai_countwork(L, work, LUAI_ELEMWORK);
]])
  # sort: one budget for the whole sort, passed down the recursion. Every
  # comparison in a partition costs at most as much as the pivot's length.
  qv_lua_replace(${var} [[static IdxT partition (lua_State *L, IdxT lo, IdxT up) {
  IdxT i = lo;  /* will be incremented before first use */
]] [[static IdxT partition (lua_State *L, IdxT lo, IdxT up, ptrdiff_t *work) {
  ptrdiff_t budget = *work;
  ptrdiff_t w = LUAI_ELEMWORK +
      (lua_type(L, -1) == LUA_TSTRING ? luai_bytework(lua_rawlen(L, -1)) : 0);
  IdxT i = lo;  /* will be incremented before first use */
]])
  qv_lua_replace(${var} [[  for (;;) {
    /* next loop: repeat ++i while a[i] < P */
]] [[  for (;;) {
    luai_countwork(L, budget, w);
    /* next loop: repeat ++i while a[i] < P */
]])
  qv_lua_replace(${var} [[      lua_pop(L, 1);  /* remove a[i] */
]] [[      lua_pop(L, 1);  /* remove a[i] */
      luai_countwork(L, budget, w);
]])
  qv_lua_replace(${var} [[      lua_pop(L, 1);  /* remove a[j] */
]] [[      lua_pop(L, 1);  /* remove a[j] */
      luai_countwork(L, budget, w);
]])
  qv_lua_replace(${var} [[      set2(L, up - 1, i);
      return i;
]] [[      set2(L, up - 1, i);
      *work = budget;
      return i;
]])
  qv_lua_replace(${var} [[static void auxsort (lua_State *L, IdxT lo, IdxT up,
                                   unsigned int rnd) {
  while (lo < up) {  /* loop for tail recursion */
]] [[static void auxsort (lua_State *L, IdxT lo, IdxT up,
                                   unsigned int rnd, ptrdiff_t *work) {
  while (lo < up) {  /* loop for tail recursion */
    luai_countwork(L, *work, 3 * LUAI_ELEMWORK);
]])
  qv_lua_replace(${var} [[p = partition(L, lo, up);]] [[p = partition(L, lo, up, work);]])
  qv_lua_replace(${var} [[auxsort(L, lo, p - 1, rnd);]] [[auxsort(L, lo, p - 1, rnd, work);]])
  qv_lua_replace(${var} [[auxsort(L, p + 1, up, rnd);]] [[auxsort(L, p + 1, up, rnd, work);]])
  qv_lua_replace(${var} [[    auxsort(L, 1, (IdxT)n, 0);
]] [[    ptrdiff_t work = LUAI_WORKSTEP;
    auxsort(L, 1, (IdxT)n, 0, &work);
]])
  set(${var} "${${var}}" PARENT_SCOPE)
endfunction()

# Writes the patched copy of src/<name>.c to <out_dir> (only when it changed,
# so that configuring again does not rebuild Lua) and re-runs this step when
# the original or this file changes.
function(qv_lua_limits_copy source_dir name out_dir)
  set(original "${source_dir}/src/${name}.c")
  set(QV_LUA_PATCHING "${original}")
  file(READ "${original}" text)
  string(REPLACE "\r\n" "\n" text "${text}")  # sources unpacked with Windows line ends
  cmake_language(CALL qv_lua_limits_${name} text)
  set(patched "${out_dir}/${name}.c")
  set(old "")
  if(EXISTS "${patched}")
    file(READ "${patched}" old)
  endif()
  if(NOT old STREQUAL text)
    file(WRITE "${patched}" "${text}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${original}" "${CMAKE_CURRENT_FUNCTION_LIST_FILE}")
endfunction()
