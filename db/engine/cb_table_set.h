#pragma once
// The table set that data modules declare: a dataset over one table that also creates the
// table and its index, seeks and locates, and tells the listener registry of deletions and
// changes.

#include <functional>
#include <string>

#include "db/engine/cb_dataset.h"

namespace ks {

class TCBTableSet : public TCBDataSet {
 public:
  explicit TCBTableSet(std::string name = {});

  TCBTagList& TagDefs() { return Table().IndDefs(); }
  void SetTagDefs(const TCBTagList& tags) { Table().IndDefs().Assign(tags); }
  // The before-insert and after-insert events under the names the data modules use; they
  // fire for append and for insert.
  TDataSetNotifyEvent& BeforeAppend = BeforeInsert;
  TDataSetNotifyEvent& AfterAppend = AfterInsert;
  std::function<void(TDataSet&, bool& accept)> OnFilterRecord;

  // Creates the data file and production index from FieldDefs and TagDefs (while closed).
  void CreateTable();
  // Recreates the production index from TagDefs (while closed).
  void CreateIndex();
  // Seeks the key (in the selected tag's key format); true when found.
  bool SeekKey(const std::string& key);
  bool Locate(const std::string& key_fields, const Variant& key_values,
              unsigned options) override;
  // Options byte: 1 case-insensitive, 2 partial key, 4 after the current record, 8 before.
  bool LocateByOptions(const std::string& key_fields, const Variant& key_values, int options);
  bool EditInProgress() const { return edit_in_progress_; }

 protected:
  void InternalEdit() override;
  void InternalCancel() override;
  void InternalDelete() override;
  void DoAfterPost() override;
  bool FindRecord(bool restart, bool forward) override;

 private:
  bool LocateWith(const std::string& key_fields, const Variant& key_values, int options);
  bool edit_in_progress_ = false;
};

}  // namespace ks
