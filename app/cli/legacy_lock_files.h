#pragma once
// The lock files that the legacy package's database engine keeps beside its tables while
// the package runs. Finding them before a conversion means the tables may still change
// under it.

#include <string>
#include <vector>

namespace ks {

// The names, as the directory spells them, of the engine's lock files (PDOXUSRS.LCK,
// PARADOX.LCK in any case) in dir; empty when there are none or dir cannot be read.
std::vector<std::string> FindLegacyLockFiles(const std::string& dir);

}  // namespace ks
