#pragma once
// A small legacy database that visits every rule of the stages once: the common input of the
// tests that convert a whole archive.

#include "app/testing/legacy_fixture.h"

namespace ks::testing {

LegacyFixture SampleDatabase();

}  // namespace ks::testing
