#include "kiv/runtime/Dispatch.h"

#include "kiv/runtime/Error.h"

namespace kiv {

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

const MemberTable::Member* MemberTable::find(std::string_view name) const {
  auto it = members_.find(AsciiLower(name));
  return it == members_.end() ? nullptr : &it->second;
}

MemberTable::Member& MemberTable::slot(std::string_view name) {
  auto [it, inserted] = members_.try_emplace(AsciiLower(name));
  if (inserted) {
    it->second.name = std::string(name);
    order_.push_back(std::string(name));
  }
  return it->second;
}

void Dispatch::notSupported(std::string_view name) const {
  throw Error(err::NotSupported, std::string(TypeName()),
              std::string(StandardErrorText(err::NotSupported)) + ": '" + std::string(name) +
                  "'");
}

const MemberTable::Member& Dispatch::member(std::string_view name) const {
  const MemberTable::Member* m = memberTable().find(name);
  if (!m) notSupported(name);
  return *m;
}

Variant Dispatch::get(std::string_view name) { return get(name, {}); }

Variant Dispatch::get(std::string_view name, std::vector<Variant> args) {
  const auto& m = member(name);
  if (!m.get) notSupported(name);
  return m.get(*this, args);
}

void Dispatch::let(std::string_view name, const Variant& value) {
  const auto& m = member(name);
  if (!m.let) notSupported(name);
  m.let(*this, value);
}

void Dispatch::set(std::string_view name, const Variant& value) {
  const auto& m = member(name);
  if (!m.set) notSupported(name);
  if (!value.isObject()) throw Error(err::ObjectRequired, std::string(TypeName()));
  m.set(*this, value);
}

Variant Dispatch::call(std::string_view name, std::vector<Variant>& args) {
  const auto& m = member(name);
  if (!m.call) notSupported(name);
  return m.call(*this, args);
}

Variant Dispatch::call(std::string_view name, std::initializer_list<Variant> args) {
  std::vector<Variant> v(args);
  return call(name, v);
}

const Variant& Arg(const std::vector<Variant>& args, std::size_t i) {
  static const Variant kMissing;
  return i < args.size() ? args[i] : kMissing;
}

bool HasArg(const std::vector<Variant>& args, std::size_t i) {
  return i < args.size() && !args[i].isEmpty();
}

}  // namespace kiv
