#include "launch_flow/hall_recent_use.h"

#include <limits>

bool isRecentWrite(uint64_t lastWrite, uint64_t now) {
  const uint64_t limit = std::numeric_limits<uint64_t>::max();
  const uint64_t end = lastWrite > limit - kRecentUseWindow ? limit : lastWrite + kRecentUseWindow;
  return end > now;
}

bool isRecentCacheFile(const CacheEntry& entry, uint64_t now) {
  if (entry.name == u"." || entry.name == u"..") return false;
  if (entry.isDirectory) return false;
  return isRecentWrite(entry.lastWrite, now);
}
