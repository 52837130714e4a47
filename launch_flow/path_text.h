// Text rules over Windows paths that the launch flow applies to registry values.
#pragma once

#include <string>
#include <string_view>

// The directory that holds the last component of `path`, ending in one
// backslash: the platform sequence PathRemoveBackslash, PathRemoveFileSpec,
// PathAddBackslash, carried out on text. D:\Games\Hall\ and D:\Games\Hall both
// give D:\Games\; C:\tool.exe gives C:\; a bare name gives an empty text.
std::u16string containingDirectory(std::u16string_view path);

// True for a path that names one place whatever the current drive and
// directory are: "X:\..." (or "X:/...") and UNC paths "\\server\share...". A bare
// name, "dir\file", "\dir" (the current drive's root) and "X:dir" (the current
// directory of drive X) are not, nor is an empty text.
bool isFullyQualifiedPath(std::u16string_view path);
