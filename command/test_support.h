// What the module tests reach in command/ beyond its own headers; no
// product file includes this header.
#pragma once

// The source package of the last change of a source name (0 when the last
// change was none), which the refresh request looks at.
int LastChanged();
