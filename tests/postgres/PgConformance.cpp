// The record-source conformance suite, run against PostgreSQL: each test gets
// a fresh schema (CREATE SCHEMA t_<pid>_<n>), and its connection string sets
// search_path to it, so every connection of the test sees the same tables.
//
// Differences of the database itself that the suite allows for:
//   - PostgreSQL folds unquoted identifiers to lower case, so a column
//     created as Name is reported as "name" (foldsUnquotedNames).
#include "data/Backend.h"
#include "postgres/PgTestSupport.h"

namespace kivtest {

INSTANTIATE_TEST_SUITE_P(Postgres, Conformance,
                         ::testing::Values(Backend{"Postgres", &pg::FreshSchema, &pg::DropSchema,
                                                   /*foldsUnquotedNames=*/true}),
                         BackendName);

}  // namespace kivtest
