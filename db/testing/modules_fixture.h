#pragma once
// What the tests of table creation and the data modules share: a window that records what
// it is told, the schema loaded once per process, and a fresh target directory with the two
// data modules pointing at it.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/testing/recording_window.h"
#include "common/testing/run_command.h"
#include "common/testing/temp_dir.h"
#include "db/dtm_dict.h"
#include "db/dtm_main.h"
#include "db/table_creation.h"
#include "resources/metadata_load.h"

namespace ks::testing {

inline void LoadSchemaOnce() {
  static const bool loaded = (LoadMetadata(), true);
  (void)loaded;
}

// A temporary target directory and the data modules in their start-up order.
class ModulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadSchemaOnce();
    dict_ = std::make_unique<TdtmDict>();
    main_ = std::make_unique<TdtmMain>(*dict_);
    main_->TakeDatabasePath(dir_);
  }
  void TearDown() override {
    main_.reset();
    dict_.reset();
  }

  // Creates every table and opens the given sets as the run does.
  void CreateAndOpen(std::initializer_list<TCBTableSet*> sets) {
    CreateAllTables(main_->dtbKestrel, window_);
    for (TCBTableSet* set : sets) OpenTableSet(*set);
  }

  TempDir temp_{"ks_db_"};
  std::string dir_ = temp_.Path();
  RecordingWindow window_;
  std::unique_ptr<TdtmDict> dict_;
  std::unique_ptr<TdtmMain> main_;
};

}  // namespace ks::testing
