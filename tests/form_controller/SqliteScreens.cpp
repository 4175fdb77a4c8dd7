// The screens of ScreenConformance*.cpp run on SQLite in this binary.

#include "data/SqliteBackend.h"
#include "form_controller/ScreenConformance.h"

namespace kivtest {

Backend ScreenBackend() {
  return SqliteBackend();
}

}  // namespace kivtest
