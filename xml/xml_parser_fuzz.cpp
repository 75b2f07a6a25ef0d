// Any text gives a tree or one of the program's own exceptions: never a crash, a hang or a
// read past the end. The embedded schema is loaded so that data documents find their tables.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "resources/metadata_load.h"
#include "xml/data_document.h"
#include "xml/xml_tag.h"
#include "xml/xml_text.h"

namespace {

// Touches what the consumers of a tree read, so that half-built objects would show.
void Walk(const ks::TqrxNode& node) {
  for (int i = 0; i < node.ChildCount(); ++i) {
    ks::TqrxTag& child = node.Child(i);
    (void)child.OpenText();
    (void)child.CloseText();
    if (const ks::TqrxTagAttrs* attrs = child.Attrs()) {
      for (int a = 0; a < attrs->Count(); ++a) (void)ks::DecodeEntities(attrs->Item(a).value);
    }
    if (auto* table = dynamic_cast<ks::TqrxTableDef*>(&child)) {
      for (int f = 0; f < table->FieldDefs().Count(); ++f) (void)table->FieldDefs()[f];
      for (int t = 0; t < table->TagDefs().Count(); ++t) (void)table->TagDefs()[t];
    }
    if (auto* sub = dynamic_cast<ks::TqrxNode*>(&child)) Walk(*sub);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool loaded = (ks::LoadMetadata(), true);
  (void)loaded;
  const std::string text(reinterpret_cast<const char*>(data), size);
  ks::TqrxTree tree;
  try {
    if (size > 0 && data[0] == 'S') {
      std::istringstream stream(text.substr(1));
      tree.LoadFromStream(stream);
    } else {
      tree.LoadFromText(text);
    }
  } catch (const ks::Exception&) {
  }
  try {
    Walk(tree);
    (void)tree.NodeByPath("metadata/tabledefs");
  } catch (const ks::Exception&) {
  }
  return 0;
}
