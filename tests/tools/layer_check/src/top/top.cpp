#include "mid/qt/window.h"
#include "top/top.h"
