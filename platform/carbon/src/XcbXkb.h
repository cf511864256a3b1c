#pragma once

// xcb's keyboard-extension header names a member `explicit`, a C++ keyword.
#include <xcb/xcb.h>
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
