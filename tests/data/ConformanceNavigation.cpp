// Conformance: opening, navigation, fields, states and errors.

#include <functional>
#include <string>

#include "Backend.h"
#include "support/ErrorChecks.h"

namespace kivtest {
namespace {

using namespace kiv;

TEST_P(Conformance, NavigationMovesAndClampsAtBothEndsAndFindsFields) {
  people(5);
  auto rs = open("SELECT id, Name FROM People WHERE id <= 3 ORDER BY id");
  EXPECT_EQ(rs->State(), adStateOpen);
  EXPECT_EQ(rs->RecordCount(), 3);
  EXPECT_FALSE(rs->BOF());
  EXPECT_FALSE(rs->EOF());
  EXPECT_EQ(Id(*rs), 1);
  EXPECT_EQ(rs->AbsolutePosition(), 1);

  rs->MoveNext();
  EXPECT_EQ(Id(*rs), 2);
  rs->MoveLast();
  EXPECT_EQ(Id(*rs), 3);
  rs->MoveNext();  // past the end: EOF, no error
  EXPECT_TRUE(rs->EOF());
  EXPECT_FALSE(rs->BOF());
  EXPECT_EQ(rs->AbsolutePosition(), adPosEOF);
  EXPECT_KIV_ERROR(rs->MoveNext(), err::NoCurrentRecord);
  EXPECT_KIV_ERROR(rs->Move(1), err::NoCurrentRecord);
  EXPECT_KIV_ERROR(rs->Move(0), err::NoCurrentRecord);
  EXPECT_KIV_ERROR(rs->Fields()["name"].Value(), err::NoCurrentRecord);
  rs->MovePrevious();
  EXPECT_EQ(Id(*rs), 3);

  rs->MoveFirst();
  rs->MovePrevious();
  EXPECT_TRUE(rs->BOF());
  EXPECT_EQ(rs->AbsolutePosition(), adPosBOF);
  EXPECT_KIV_ERROR(rs->MovePrevious(), err::NoCurrentRecord);
  EXPECT_KIV_ERROR(rs->Move(-1), err::NoCurrentRecord);
  EXPECT_KIV_ERROR(rs->Move(0), err::NoCurrentRecord);
  rs->Move(2);  // from BOF: the second row
  EXPECT_EQ(Id(*rs), 2);
  rs->Move(0);  // re-reads the current row
  EXPECT_EQ(Id(*rs), 2);
  rs->Move(-5);
  EXPECT_TRUE(rs->BOF());
  rs->MoveNext();
  rs->Move(10);
  EXPECT_TRUE(rs->EOF());

  rs->AbsolutePosition(3);
  EXPECT_EQ(Id(*rs), 3);
  EXPECT_KIV_ERROR(rs->AbsolutePosition(0), err::BadArguments);
  EXPECT_KIV_ERROR(rs->AbsolutePosition(4), err::BadArguments);
  EXPECT_EQ(Id(*rs), 3);

  const Variant mark = rs->Bookmark();
  rs->MoveFirst();
  rs->Bookmark(mark);
  EXPECT_EQ(Id(*rs), 3);

  // Fields by name without regard to case, and by index.
  Fields& f = rs->Fields();
  EXPECT_EQ(TextOf(f["NAME"].Value()), "Cy");
  EXPECT_EQ(f[1].Name(), GetParam().foldsUnquotedNames ? "name" : "Name");
  EXPECT_KIV_ERROR(f["missing"], err::ItemNotFound);
  EXPECT_KIV_ERROR(f[2], err::ItemNotFound);
  EXPECT_KIV_ERROR(f[-1], err::ItemNotFound);

  // TOP is rewritten for the database.
  auto top = open("SELECT TOP 2 id FROM People ORDER BY id DESC", adLockReadOnly);
  ASSERT_EQ(top->RecordCount(), 2);
  EXPECT_EQ(Id(*top), 5);
  top->MoveNext();
  EXPECT_EQ(Id(*top), 4);
}

TEST_P(Conformance, EmptyResultIsAtBofAndEofAndRefusesEveryMove) {
  people(0);
  auto rs = open("SELECT id, name FROM People");
  EXPECT_TRUE(rs->BOF());
  EXPECT_TRUE(rs->EOF());
  EXPECT_EQ(rs->RecordCount(), 0);
  EXPECT_KIV_ERROR(rs->MoveFirst(), err::NoCurrentRecord);
  EXPECT_KIV_ERROR(rs->MoveLast(), err::NoCurrentRecord);
  EXPECT_KIV_ERROR(rs->MoveNext(), err::NoCurrentRecord);
  EXPECT_KIV_ERROR(rs->MovePrevious(), err::NoCurrentRecord);
  EXPECT_KIV_ERROR(rs->Move(0), err::NoCurrentRecord);
  // The fields are known without rows.
  ASSERT_EQ(rs->Fields().Count(), 2);
  EXPECT_EQ(UCase(rs->Fields()[1].Name()), "NAME");
  EXPECT_KIV_ERROR(rs->Fields()[0].Value(), err::NoCurrentRecord);
  // A find on an empty set finds nothing and raises nothing.
  rs->Find("name = 'x'");
  EXPECT_TRUE(rs->EOF());
}

TEST_P(Conformance, ClosedObjectsAndConnectionsAreRefused) {
  people(1);
  auto rs = open("SELECT id, name FROM People");
  // A field held beyond its record set's life (by a script, say).
  std::shared_ptr<Field> name = rs->Fields().ItemPtr(Variant("name"));
  EXPECT_KIV_ERROR(rs->Open("SELECT id FROM People", connPtr()), err::ObjectOpen);
  EXPECT_KIV_ERROR(rs->Source("SELECT 1"), err::ObjectOpen);
  rs->Close();
  EXPECT_EQ(rs->State(), adStateClosed);
  EXPECT_KIV_ERROR(rs->BOF(), err::ObjectClosed);
  EXPECT_KIV_ERROR(rs->EOF(), err::ObjectClosed);
  EXPECT_KIV_ERROR(rs->MoveFirst(), err::ObjectClosed);
  EXPECT_KIV_ERROR(rs->RecordCount(), err::ObjectClosed);
  EXPECT_KIV_ERROR(rs->Fields(), err::ObjectClosed);
  EXPECT_KIV_ERROR(rs->AddNew(), err::ObjectClosed);
  EXPECT_KIV_ERROR(rs->Update(), err::ObjectClosed);
  EXPECT_KIV_ERROR(rs->Find("name = 'Ann'"), err::ObjectClosed);
  EXPECT_KIV_ERROR(rs->Sort("name"), err::ObjectClosed);
  EXPECT_KIV_ERROR(rs->Close(), err::ObjectClosed);
  EXPECT_KIV_ERROR(name->Value(), err::ObjectClosed);  // a field of the closed set

  // Opening again from the properties works; a closed connection does not.
  rs->Open();
  EXPECT_EQ(rs->RecordCount(), 1);
  EXPECT_KIV_ERROR(name->Value(), err::ObjectClosed);  // stale after re-opening
  auto other = another();
  other->Close();
  EXPECT_EQ(other->State(), adStateClosed);
  Recordset fresh;
  EXPECT_KIV_ERROR(fresh.Open("SELECT id FROM People", other), err::ConnectionUnusable);
  EXPECT_KIV_ERROR(fresh.Open("SELECT id FROM People"), err::ConnectionUnusable);
  EXPECT_KIV_ERROR(other->Execute("SELECT 1"), err::ConnectionUnusable);
  EXPECT_KIV_ERROR(other->Close(), err::ObjectClosed);
}

TEST_P(Conformance, OpenTakesUnspecifiedSettingsFromProperties) {
  people(1);
  auto rs = std::make_shared<Recordset>();
  rs->CursorLocation(adUseClient);
  rs->ActiveConnection(connPtr());
  rs->CursorType(adOpenKeyset);
  rs->LockType(adLockReadOnly);
  rs->Open("SELECT id, name FROM People", nullptr, adOpenUnspecified, adLockUnspecified,
           adCmdUnspecified);
  EXPECT_EQ(rs->LockType(), adLockReadOnly);
  EXPECT_EQ(rs->CursorType(), adOpenKeyset);
  EXPECT_EQ(rs->Source(), "SELECT id, name FROM People");
  EXPECT_EQ(rs->ActiveConnection(), connPtr());
  // Read-only: every edit is refused with 3251 and nothing is written.
  EXPECT_KIV_ERROR(rs->AddNew(), err::NotUpdatable);
  EXPECT_KIV_ERROR(rs->Fields()["name"].Value(Variant("Zed")), err::NotUpdatable);
  EXPECT_KIV_ERROR(rs->Delete(adAffectCurrent), err::NotUpdatable);
  EXPECT_EQ(Text(*rs, "name"), "Ann");
  EXPECT_EQ(rs->EditMode(), adEditNone);

  // Requery sees rows written since.
  exec("INSERT INTO People (id, name) VALUES (2, 'Bob')");
  EXPECT_EQ(rs->RecordCount(), 1);
  rs->Requery();
  EXPECT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(rs->LockType(), adLockReadOnly);
}

TEST_P(Conformance, LateBoundMembersReachTheSameOperations) {
  people(2);
  auto rs = std::make_shared<Recordset>();
  Dispatch& d = *rs;
  d.let("CursorLocation", Variant(adUseClient));
  d.set("ActiveConnection", Variant(connPtr()));
  d.call("Open", {Variant("SELECT id, name FROM People ORDER BY id"), Variant(), Variant(1),
                  Variant(3), Variant(-1)});
  EXPECT_EQ(CLng(d.get("State")), adStateOpen);
  EXPECT_EQ(CLng(d.get("RecordCount")), 2);
  d.call("MoveNext");
  auto field = ObjectAs<Field>(d.get("Fields", {Variant("NAME")}));
  ASSERT_TRUE(field);
  EXPECT_EQ(TextOf(field->get("Value")), "Bob");
  auto fields = ObjectAs<Fields>(d.get("Fields"));
  ASSERT_TRUE(fields);
  EXPECT_EQ(CLng(fields->get("Count")), 2);
  field->let("Value", Variant("Bea"));
  d.call("Update");
  d.call("MoveNext");
  EXPECT_TRUE(CBool(d.get("EOF")));
  EXPECT_EQ(CLng(conn().get("State")), adStateOpen);
  EXPECT_EQ(Text(*peek("SELECT name FROM People WHERE id = 2"), "name"), "Bea");
  EXPECT_KIV_ERROR(d.call("NoSuchMethod"), err::NotSupported);
}

TEST_P(Conformance, MoveCompleteIsRaisedWhenTheCurrentRowChanges) {
  people(2);
  auto rs = open("SELECT id, name FROM People ORDER BY id");
  int moves = 0, changes = 0;
  rs->events.MoveComplete.connect([&] { ++moves; });
  rs->events.RecordsetChangeComplete.connect([&] { ++changes; });
  rs->MoveNext();
  rs->MoveFirst();
  rs->Find("name = 'Bob'");
  rs->Sort("name DESC");
  EXPECT_EQ(moves, 4);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(rs->CurrentVisibleRow(), 0);
  EXPECT_EQ(rs->VisibleRowCount(), 2);
  EXPECT_EQ(TextOf(rs->ValueAt(1, 1)), "Ann");
  EXPECT_KIV_ERROR(rs->ValueAt(2, 0), err::NoCurrentRecord);
  EXPECT_KIV_ERROR(rs->ValueAt(0, 2), err::SubscriptOutOfRange);
}

// A field held across every kind of change reads the value current now, in
// the change's own event handlers too: the fields keep the current row's
// values only until something changes.
TEST_P(Conformance, AFieldHeldAcrossChangesReadsTheCurrentValue) {
  people(3);
  auto rs = open("SELECT id, name FROM People ORDER BY id");
  const std::shared_ptr<Field> name = rs->Fields().ItemPtr(Variant("name"));
  const auto text = [&] { return TextOf(name->Value()); };
  std::string seenInHandler;
  rs->events.MoveComplete.connect([&] {
    try {
      seenInHandler = TextOf(name->Value());
    } catch (const Error&) {
      seenInHandler = "(none)";
    }
  });
  EXPECT_EQ(text(), "Ann");
  rs->MoveNext();
  EXPECT_EQ(seenInHandler, "Bob");
  EXPECT_EQ(text(), "Bob");
  rs->MovePrevious();
  EXPECT_EQ(text(), "Ann");
  rs->AbsolutePosition(3);
  EXPECT_EQ(text(), "Cy");
  const Variant third = rs->Bookmark();
  rs->Move(-2);
  EXPECT_EQ(text(), "Ann");
  rs->Bookmark(third);
  EXPECT_EQ(text(), "Cy");
  rs->Find("name = 'Bob'", 0, adSearchBackward);
  EXPECT_EQ(text(), "Bob");
  rs->Sort("name DESC");
  EXPECT_EQ(seenInHandler, "Cy");
  EXPECT_EQ(text(), "Cy");

  name->Value("Cyd");  // the pending edit, then the saved row
  EXPECT_EQ(text(), "Cyd");
  rs->CancelUpdate();
  EXPECT_EQ(text(), "Cy");
  name->Value("Cyd");
  rs->Update();
  EXPECT_EQ(text(), "Cyd");
  rs->AddNew();
  EXPECT_TRUE(name->Value().isNull());
  rs->CancelUpdate();
  EXPECT_EQ(text(), "Cyd");
  rs->Delete();
  EXPECT_KIV_ERROR(name->Value(), err::NoCurrentRecord);
  rs->MoveNext();
  EXPECT_EQ(text(), "Bob");

  rs->Requery();  // a new opening: the old fields are closed
  EXPECT_KIV_ERROR(name->Value(), err::ObjectClosed);
  EXPECT_EQ(Text(*rs, "name"), "Ann");
  const std::shared_ptr<Field> again = rs->Fields().ItemPtr(Variant("name"));
  rs->Close();
  EXPECT_KIV_ERROR(again->Value(), err::ObjectClosed);
}

}  // namespace
}  // namespace kivtest
