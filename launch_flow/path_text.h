// Text rules over Windows paths that the launch flow applies to registry values.
#pragma once

#include <string>
#include <string_view>

// The directory that holds the last component of `path`, ending in one
// backslash: the platform sequence PathRemoveBackslash, PathRemoveFileSpec,
// PathAddBackslash, carried out on text. D:\Games\Hall\ and D:\Games\Hall both
// give D:\Games\; C:\tool.exe gives C:\; a bare name gives an empty text.
std::u16string containingDirectory(std::u16string_view path);
