#include "launch_settings/program_path.h"

std::u16string openablePath(std::u16string_view path) {
  if (path.size() < kPathLimit || path.starts_with(u"\\\\?\\") || path.starts_with(u"\\\\.\\"))
    return std::u16string(path);
  if (path.starts_with(u"\\\\")) return u"\\\\?\\UNC\\" + std::u16string(path.substr(2));
  return u"\\\\?\\" + std::u16string(path);
}
