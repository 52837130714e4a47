#include "launch_flow/path_text.h"

namespace {

// A root keeps its backslash: "\", "X:\", and "\\server" or "\\server\share".
bool isRoot(std::u16string_view path) {
  if (path.empty()) return false;
  if (path == u"\\") return true;
  if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') {
    const std::u16string_view rest = path.substr(2);
    const size_t first = rest.find(u'\\');
    return first == rest.npos || rest.find(u'\\', first + 1) == rest.npos;
  }
  return path.size() == 3 && path[1] == u':' && path[2] == u'\\';
}

void removeTrailingBackslash(std::u16string& path) {
  if (!path.empty() && path.back() == u'\\' && !isRoot(path)) path.pop_back();
}

// Drops the last component together with the backslash before it; a drive's
// root keeps its backslash, and a leading "\" or "\\" is never removed.
void removeFileSpec(std::u16string& path) {
  size_t position = 0;
  size_t cut = 0;
  for (int lead = 0; lead < 2 && position < path.size() && path[position] == u'\\'; ++lead) cut = ++position;
  for (; position < path.size(); ++position) {
    if (path[position] == u'\\') {
      cut = position;
    } else if (path[position] == u':') {
      // The drive stays; the character after the colon is not looked at again.
      cut = ++position;
      if (position < path.size() && path[position] == u'\\') ++cut;
    }
  }
  path.resize(cut);
}

void addBackslash(std::u16string& path) {
  if (!path.empty() && path.back() != u'\\') path.push_back(u'\\');
}

}  // namespace

std::u16string containingDirectory(std::u16string_view path) {
  std::u16string directory(path);
  removeTrailingBackslash(directory);
  removeFileSpec(directory);
  addBackslash(directory);
  return directory;
}

bool isFullyQualifiedPath(std::u16string_view path) {
  const auto separator = [](char16_t c) { return c == u'\\' || c == u'/'; };
  if (path.size() >= 3 && path[1] == u':' && separator(path[2])) {
    const char16_t drive = path[0];
    return (drive >= u'A' && drive <= u'Z') || (drive >= u'a' && drive <= u'z');
  }
  // "\\server\..." and the "\\?\" and "\\.\" forms: a server or device name must follow.
  return path.size() >= 3 && separator(path[0]) && separator(path[1]) && !separator(path[2]);
}
