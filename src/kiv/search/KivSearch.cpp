#include "kiv/search/KivSearch.h"

#include "kiv/data/Recordset.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "kiv/runtime/PropertyBag.h"
#include "kiv/search/frmSearch.h"

namespace kiv {

namespace {
const Variant kEmptyText = Variant(std::string());
}  // namespace

KivSearch::KivSearch() : UserControl("KivSearch1") {}

KivSearch::~KivSearch() = default;

std::shared_ptr<KivSearch> KivSearch::Create() {
  auto search = std::make_shared<KivSearch>();
  search->InitProperties();
  search->layout();
  return search;
}

std::string KivSearch::Return_Fields() const {
  return frmSearch::Instance().strReturn_Fields;
}

void KivSearch::Return_Fields(std::string value) {
  frmSearch::Instance().strReturn_Fields = std::move(value);
  PropertyChanged("Return_Fields");
}

Variant KivSearch::Return_Value() const {
  return frmSearch::Instance().varReturn_Value;
}

void KivSearch::Return_Value(Variant value) {
  frmSearch::Instance().varReturn_Value = std::move(value);
  PropertyChanged("Return_Value");
}

Variant KivSearch::FriendlyNames() const {
  return frmSearch::Instance().m_FriendlyNames;
}

void KivSearch::FriendlyNames(Variant value) {
  frmSearch::Instance().m_FriendlyNames = std::move(value);
  PropertyChanged("FriendlyNames");
}

std::shared_ptr<Recordset> KivSearch::Search_RecordSource() const {
  return frmSearch::Instance().arsSearch_RecordSource;
}

void KivSearch::Search_RecordSource(std::shared_ptr<Recordset> value) {
  frmSearch::Instance().arsSearch_RecordSource = std::move(value);
  PropertyChanged("Search_Recordset");
}

void KivSearch::ShowSearch(std::int16_t intModal, const Variant& frmOwner) {
  Dispatch* owner = frmOwner.isObject() ? frmOwner.object().get() : nullptr;
  frmSearch::Instance().Show(intModal, owner);
}

void KivSearch::ReadProperties(PropertyBag& bag) {
  frmSearch& dialog = frmSearch::Instance();
  dialog.varReturn_Value = bag.ReadProperty("Return_Value", kEmptyText);
  dialog.arsSearch_RecordSource =
      RecordSourceOf(bag.ReadProperty("Search_RecordSource", Variant::Nothing()));
  dialog.strReturn_Fields = TextOf(bag.ReadProperty("Return_Fields", kEmptyText));
  dialog.m_FriendlyNames = bag.ReadProperty("FriendlyNames", kEmptyText);
}

void KivSearch::WriteProperties(PropertyBag& bag) {
  const frmSearch& dialog = frmSearch::Instance();
  bag.WriteProperty("Return_Value", dialog.varReturn_Value, kEmptyText);
  bag.WriteProperty(
      "Search_RecordSource",
      dialog.arsSearch_RecordSource ? Variant(dialog.arsSearch_RecordSource) : Variant::Nothing(),
      Variant::Nothing());
  bag.WriteProperty("Return_Fields", Variant(dialog.strReturn_Fields), kEmptyText);
  bag.WriteProperty("FriendlyNames", dialog.m_FriendlyNames, kEmptyText);
}

void KivSearch::Resize() {
  IgnoreErrors([this] { Width(kWidth); });
  IgnoreErrors([this] { Height(kHeight); });
}

const MemberTable& KivSearch::Members() {
  using B = MemberTable::Builder<KivSearch>;
  static const MemberTable table =
      B(&UserControl::Members())
          .let("Return_Fields", [](KivSearch& s, const Variant& v) { s.Return_Fields(CStr(v)); })
          .property(
              "Return_Value", [](KivSearch& s) { return s.Return_Value(); },
              [](KivSearch& s, const Variant& v) { s.Return_Value(v); })
          .get("Return_Fields", [](KivSearch& s) { return Variant(s.Return_Fields()); })
          .property(
              "FriendlyNames", [](KivSearch& s) { return s.FriendlyNames(); },
              [](KivSearch& s, const Variant& v) { s.FriendlyNames(v); })
          .objectProperty(
              "Search_RecordSource",
              [](KivSearch& s) {
                auto rs = s.Search_RecordSource();
                return rs ? Variant(rs) : Variant::Nothing();
              },
              [](KivSearch& s, const Variant& v) { s.Search_RecordSource(RecordSourceOf(v)); })
          .method("ShowSearch",
                  [](KivSearch& s, B::Args& a) {
                    s.ShowSearch(HasArg(a, 0) ? CInt(Arg(a, 0)) : std::int16_t{0}, Arg(a, 1));
                    return Variant();
                  })
          .build();
  return table;
}

}  // namespace kiv
