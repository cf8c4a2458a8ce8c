// The output filter that a router driver looks up in the library named by
// the profile key ExternalDLL.
//
// The driver calls combinerOutputFilter once for every level command it is
// about to send ("RC ...", "GS ...", "IW ..."), with the command text as a
// writable, NUL-terminated text in the driver's own buffer:
//   - a non-zero result means the filter has taken the command over: the
//     driver does not send it (and counts it as sent);
//   - zero means the driver sends the text as it stands after the call, so
//     the filter may edit it in place.
// The filter must not make the text longer: it does not know the size of
// the driver's buffer. It runs on the driver's one thread, inside a take.
//
// Calling convention: C (__cdecl), exported under its plain name
// "combinerOutputFilter" (no decoration on either platform), so that the
// driver finds it with GetProcAddress.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

typedef int (__cdecl *CombinerOutputFilterProc)(char* pText);

#ifdef ZUR_FILTER_BUILD
__declspec(dllexport)
#else
__declspec(dllimport)
#endif
int __cdecl combinerOutputFilter(char* pText);

#ifdef __cplusplus
}
#endif
