#include "xml/metadata_root.h"

#include <istream>
#include <memory>

namespace ks {
namespace {

struct ProcessMetadata {
  std::unique_ptr<TqrxTree> tree;
  TqrxMetaData* root = nullptr;
};

ProcessMetadata& Process() {
  static ProcessMetadata metadata;
  return metadata;
}

}  // namespace

TqrxMetaData& LoadMetadataDocument(std::istream& document) {
  auto tree = std::make_unique<TqrxTree>();
  tree->LoadFromStream(document);
  TqrxMetaData& root = TagCast<TqrxMetaData>(&tree->NodeByPath("metadata"));
  ProcessMetadata& process = Process();
  process.tree = std::move(tree);
  process.root = &root;
  return root;
}

TqrxMetaData& MetadataRoot() {
  if (Process().root == nullptr) throw Exception("The metadata has not been loaded");
  return *Process().root;
}

bool MetadataLoaded() { return Process().root != nullptr; }

}  // namespace ks
