#pragma once

namespace kiv {

// The default-size flag: one per user-interface thread, shared by every field
// editor and description control on it. A newly placed control sets it; the
// next resize of any such control takes it and gives itself the default size
// (1800 x 285 twips).
class DefaultSizeFlag {
 public:
  static void Set();
  static bool IsSet();
  // Returns whether the flag was set, and clears it.
  static bool Take();
  static void Clear();
};

}  // namespace kiv
