#include "kiv/field_editor/DefaultSizeFlag.h"

namespace kiv {

namespace {
bool& booSet_Default_Size() {
  thread_local bool flag = false;
  return flag;
}
}  // namespace

void DefaultSizeFlag::Set() {
  booSet_Default_Size() = true;
}

bool DefaultSizeFlag::IsSet() {
  return booSet_Default_Size();
}

bool DefaultSizeFlag::Take() {
  const bool was = booSet_Default_Size();
  booSet_Default_Size() = false;
  return was;
}

void DefaultSizeFlag::Clear() {
  booSet_Default_Size() = false;
}

}  // namespace kiv
