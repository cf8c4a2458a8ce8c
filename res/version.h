// The driver's version: the window title, the About box and the version
// resource all show this one.
#pragma once

#define ZUR_VERSION "3.05.03"
#define ZUR_VERSION_NUMBERS 3, 5, 3, 0
