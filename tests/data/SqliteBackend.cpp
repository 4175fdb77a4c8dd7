// The record-source conformance suite on SQLite.

#include "data/SqliteBackend.h"

namespace kivtest {

INSTANTIATE_TEST_SUITE_P(SQLite, Conformance, ::testing::Values(SqliteBackend()), BackendName);

}  // namespace kivtest
