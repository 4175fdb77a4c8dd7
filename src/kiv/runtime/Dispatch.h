#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kiv/runtime/Variant.h"

namespace kiv {

class Dispatch;

// The members of one class, reachable by name at run time. Names match
// without regard to case. A class builds its table once (a function-local
// static) and may extend its base class's table.
class MemberTable {
 public:
  // Property read; args are the indexes of an indexed property (usually none).
  using Getter = std::function<Variant(Dispatch&, std::vector<Variant>& args)>;
  // Property write by value (Let) or by object reference (Set).
  using Writer = std::function<void(Dispatch&, const Variant& value)>;
  // Method; args are by reference, so a method may write back into them.
  using Method = std::function<Variant(Dispatch&, std::vector<Variant>& args)>;

  struct Member {
    std::string name;  // as registered (the library's own spelling)
    Getter get;
    Writer let;
    Writer set;
    Method call;
  };

  template <class T>
  class Builder;

  // nullptr when the class has no member of that name.
  const Member* find(std::string_view name) const;
  // Member names in the order they were registered (base class first).
  const std::vector<std::string>& names() const { return order_; }

 private:
  Member& slot(std::string_view name);

  std::unordered_map<std::string, Member> members_;  // key: lower-cased name
  std::vector<std::string> order_;
};

// Base of every object reached late-bound: controls, widgets, forms,
// connections and record sets. get/let/set/call look the name up in the
// class's member table; a missing member (or a member without that kind of
// access) raises error 438 naming the member.
class Dispatch : public std::enable_shared_from_this<Dispatch> {
 public:
  virtual ~Dispatch() = default;

  // The class name as the host's TypeName gives it ("KivUni", "TextBox").
  virtual std::string_view TypeName() const = 0;

  Variant get(std::string_view name);
  Variant get(std::string_view name, std::vector<Variant> args);
  void let(std::string_view name, const Variant& value);
  // value holds an object or Nothing; anything else raises 424 (Object required).
  void set(std::string_view name, const Variant& value);
  Variant call(std::string_view name, std::vector<Variant>& args);
  Variant call(std::string_view name, std::initializer_list<Variant> args = {});

  bool hasMember(std::string_view name) const { return memberTable().find(name) != nullptr; }

  virtual const MemberTable& memberTable() const = 0;

 private:
  const MemberTable::Member& member(std::string_view name) const;
  [[noreturn]] void notSupported(std::string_view name) const;
};

// Builds a member table for class T with typed lambdas:
//
//   const MemberTable& KivUni::memberTable() const {
//     static const MemberTable table = MemberTable::Builder<KivUni>(&UserControl::Members())
//         .property("Locked", [](KivUni& u) { return Variant(u.Locked()); },
//                   [](KivUni& u, const Variant& v) { u.Locked(CBool(v)); })
//         .method("BlankControl", [](KivUni& u, Args&) { u.BlankControl(); return Variant(); })
//         .build();
//     return table;
//   }
template <class T>
class MemberTable::Builder {
 public:
  using Args = std::vector<Variant>;

  explicit Builder(const MemberTable* base = nullptr) {
    if (base) table_ = *base;
  }

  Builder& get(std::string_view name, std::function<Variant(T&)> getter) {
    table_.slot(name).get = [g = std::move(getter)](Dispatch& d, Args&) {
      return g(static_cast<T&>(d));
    };
    return *this;
  }
  Builder& getIndexed(std::string_view name, std::function<Variant(T&, Args&)> getter) {
    table_.slot(name).get = [g = std::move(getter)](Dispatch& d, Args& a) {
      return g(static_cast<T&>(d), a);
    };
    return *this;
  }
  Builder& let(std::string_view name, std::function<void(T&, const Variant&)> letter) {
    table_.slot(name).let = [l = std::move(letter)](Dispatch& d, const Variant& v) {
      l(static_cast<T&>(d), v);
    };
    return *this;
  }
  Builder& set(std::string_view name, std::function<void(T&, const Variant&)> setter) {
    table_.slot(name).set = [s = std::move(setter)](Dispatch& d, const Variant& v) {
      s(static_cast<T&>(d), v);
    };
    return *this;
  }
  // A read/write value property.
  Builder& property(std::string_view name, std::function<Variant(T&)> getter,
                    std::function<void(T&, const Variant&)> letter) {
    get(name, std::move(getter));
    return let(name, std::move(letter));
  }
  // A read/write object property (Get and Set).
  Builder& objectProperty(std::string_view name, std::function<Variant(T&)> getter,
                          std::function<void(T&, const Variant&)> setter) {
    get(name, std::move(getter));
    return set(name, std::move(setter));
  }
  Builder& method(std::string_view name, std::function<Variant(T&, Args&)> fn) {
    table_.slot(name).call = [f = std::move(fn)](Dispatch& d, Args& a) {
      return f(static_cast<T&>(d), a);
    };
    return *this;
  }

  MemberTable build() { return std::move(table_); }

 private:
  MemberTable table_;
};

// Helpers for member-table lambdas: the i-th argument, or a default when the
// caller passed fewer (an omitted optional argument).
const Variant& Arg(const std::vector<Variant>& args, std::size_t i);
bool HasArg(const std::vector<Variant>& args, std::size_t i);

// The object held by a Variant, cast to T; nullptr for Nothing, Empty or an
// object of another class. Raises 13 for a non-object value other than Empty.
template <class T>
std::shared_ptr<T> ObjectAs(const Variant& v) {
  if (v.isEmpty()) return nullptr;
  return std::dynamic_pointer_cast<T>(v.object());
}

// Lower-cases ASCII letters (member names are ASCII).
std::string AsciiLower(std::string_view text);

}  // namespace kiv
