// The screens of ScreenConformance*.cpp run on PostgreSQL in this binary.

#include "form_controller/ScreenConformance.h"
#include "postgres/PgTestSupport.h"

namespace kivtest {

Backend ScreenBackend() {
  return Backend{"Postgres", &pg::FreshSchema, &pg::DropSchema, /*foldsUnquotedNames=*/true};
}

}  // namespace kivtest
