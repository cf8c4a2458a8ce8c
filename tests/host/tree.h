// Removes a directory with everything in it, read-only files and folders
// too: the temporary trees of the module tests and of the end-to-end sites.
#pragma once
#include <windows.h>

#include <string>

inline void RemoveTree(const std::string& sDir)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((sDir + "\\*").c_str(), &fd);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            std::string sName = fd.cFileName;
            if (sName == "." || sName == "..") continue;
            std::string sPath = sDir + "\\" + sName;
            SetFileAttributesA(sPath.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(sPath);
            } else {
                DeleteFileA(sPath.c_str());
            }
        } while (FindNextFileA(hFind, &fd));
        FindClose(hFind);
    }
    SetFileAttributesA(sDir.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(sDir.c_str());
}
