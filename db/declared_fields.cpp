#include "db/declared_fields.h"

namespace ks {

void DeclareFields(TCBTableSet& set, std::initializer_list<FieldDeclaration> fields) {
  for (const FieldDeclaration& field : fields) set.AddField(field.name, field.type, field.size);
  set.AddField(TCBDataSet::kIsLocked, ftBoolean);
}

}  // namespace ks
