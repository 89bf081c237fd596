// The framework layer the two programs are written against.
#pragma once

#include <windows.h>

#include "cmdtarget.h"
#include "gdi.h"
#include "winapp.h"
#include "wnd.h"
