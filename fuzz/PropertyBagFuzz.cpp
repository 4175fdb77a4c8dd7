// libFuzzer target: the JSON property bag over arbitrary text. Reading any
// stored property with any kind of default either gives a value or raises a
// kiv::Error; a value that was read writes back and reads again unchanged.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "kiv/runtime/Dispatch.h"
#include "kiv/runtime/Error.h"
#include "kiv/runtime/JsonPropertyBag.h"

namespace {

class Named : public kiv::Dispatch {
 public:
  std::string_view TypeName() const override { return "Named"; }
  const kiv::MemberTable& memberTable() const override {
    static const kiv::MemberTable table;
    return table;
  }
};

// Knows one control, "ctlSearch".
class OneObject : public kiv::ObjectResolver {
 public:
  std::shared_ptr<kiv::Dispatch> object = std::make_shared<Named>();
  std::shared_ptr<kiv::Dispatch> resolve(std::string_view kind, std::string_view name) override {
    return kind == "control" && name == "ctlSearch" ? object : nullptr;
  }
  std::optional<kiv::ObjectReference> nameOf(const std::shared_ptr<kiv::Dispatch>& o) override {
    if (o == object) return kiv::ObjectReference{"control", "ctlSearch"};
    return std::nullopt;
  }
};

// NaN compares unequal to itself; everything else must match exactly.
bool Same(const kiv::Variant& a, const kiv::Variant& b) {
  if (a.type() == kiv::VarType::Double && b.type() == kiv::VarType::Double &&
      std::isnan(a.dbl()) && std::isnan(b.dbl()))
    return true;
  return a == b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  OneObject resolver;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    auto bag = kiv::JsonPropertyBag::Parse("ctlFuzz", text, &resolver, "fuzz.json");
    const kiv::Variant defaults[] = {kiv::Variant(),
                                     kiv::Variant(""),
                                     kiv::Variant(std::int16_t(0)),
                                     kiv::Variant(0),
                                     kiv::Variant(false),
                                     kiv::Variant(kiv::DateTime{}),
                                     kiv::Variant::Nothing()};
    std::vector<std::string> names;
    for (auto it = bag.json().begin(); it != bag.json().end(); ++it) names.push_back(it.key());
    for (const std::string& name : names) {
      for (const kiv::Variant& def : defaults) {
        try {
          (void)bag.ReadProperty(name, def);
        } catch (const kiv::Error&) {
        }
      }
      kiv::Variant value;
      try {
        value = bag.ReadVariantProperty(name, kiv::Variant());
      } catch (const kiv::Error&) {
        continue;
      }
      kiv::JsonPropertyBag out("ctlFuzz", &resolver);
      out.WriteProperty(name, value, kiv::Variant("\x01unlikely default"));
      auto again = kiv::JsonPropertyBag::Parse("ctlFuzz", out.dump(-1), &resolver);
      if (!Same(again.ReadVariantProperty(name, kiv::Variant()), value)) std::abort();
    }
    if (!bag.unreadNames().empty()) std::abort();
  } catch (const kiv::Error&) {
  }
  return 0;
}
