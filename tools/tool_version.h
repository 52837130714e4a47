// The version the tools report (--version, the publish report).
#pragma once

#include <string>

// The product's version and the commit built: "1.0.0 (commit 0123456789ab)";
// the commit is "unknown" outside a git checkout and ends in "+modified" when
// tracked files differed from it.
std::string toolVersionText();
