#pragma once
// The block chains of the tables walked in one run, so that a table opened again (by the
// structure probe, then by its stage; the goods lines by two stages) is not read through
// once more only to find its blocks. A chain is taken again only for the same path with
// the same size and time of last change as the file that was walked.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/file.h"
#include "common/non_copyable.h"

namespace ks {

// A data block on the chain that holds records.
struct ParadoxChainBlock {
  uint16_t block;
  uint16_t records;
  uint32_t first_record;  // ordinal of its first record in table order
};

class ParadoxChainCache : NonCopyable {
 public:
  struct Chain {
    File::Stamp stamp;
    std::vector<ParadoxChainBlock> blocks;
    uint32_t record_count = 0;
  };

  // The chain walked in the file at path, if the file still has that stamp; null otherwise.
  const Chain* Find(const std::string& path, const File::Stamp& stamp) const {
    auto it = chains_.find(path);
    return it != chains_.end() && it->second.stamp == stamp ? &it->second : nullptr;
  }
  void Keep(const std::string& path, Chain chain) { chains_[path] = std::move(chain); }
  void Clear() { chains_.clear(); }

 private:
  std::map<std::string, Chain> chains_;
};

}  // namespace ks
