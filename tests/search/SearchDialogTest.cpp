// The search dialog: set-up, friendly names, search types, recent values,
// Find / Find Next, sorting, accepting and the layout.

#include <filesystem>

#include "kiv/data/Fields.h"
#include "kiv/host/Column.h"
#include "kiv/host/Columns.h"
#include "search/SearchFixture.h"

namespace kiv::test {
namespace {

using Lines = std::vector<std::string>;

TEST_F(SearchTest, SetUpFillsTheListsAndResetsTheResult) {
  launcher->Return_Value(Variant("stale"));
  search(open(), [&](frmSearch& f) {
    EXPECT_EQ(f.Caption(), "Search");
    EXPECT_EQ(f.IsModal(), true);
    EXPECT_EQ(f.cmbField().items(), (Lines{"Code", "Name", "Qty", "Due", "Active", "Photo"}));
    EXPECT_EQ(f.cmbField().ListIndex(), 0);
    EXPECT_EQ(f.cmbSearchType().items(),
              (Lines{"Equal to", "Starting with", "Ending with", "Containing"}));
    EXPECT_EQ(f.cmbSearchType().ListIndex(), 0);
    EXPECT_EQ(f.cmdFindNext().Caption(), "&Find");
    EXPECT_EQ(f.cmbFind().Text(), "");
    EXPECT_TRUE(f.cmdOK().Default());
    EXPECT_TRUE(f.cmdCancel().Cancel());
    EXPECT_EQ(f.dbgData().RowCount(), 5);
    // The result is reset on load, before anything is chosen.
    EXPECT_EQ(launcher->Return_Value(), Variant(Array::Of({Variant("")})));

    // The types of search follow the column's kind and keep their position.
    f.cmbField().pick("Name");
    f.cmbSearchType().pick(3);
    EXPECT_EQ(f.cmbSearchType().Text(), "Containing");
    f.cmbField().pick("Qty");
    EXPECT_EQ(f.cmbSearchType().ListIndex(), 3);
    EXPECT_EQ(f.cmbSearchType().Text(), "Not equal to");
    f.cmbField().pick("Photo");  // category 0 offers the non-text types
    EXPECT_EQ(f.cmbSearchType().Text(), "Not equal to");
    f.cmbField().pick("Code");
    EXPECT_EQ(f.cmbSearchType().Text(), "Containing");
  });
  EXPECT_TRUE(boxes.empty());
  // Closed without a choice: the one-element empty result, and the record set released.
  EXPECT_EQ(returned(), Lines{""});
  EXPECT_EQ(launcher->Search_RecordSource(), nullptr);
}

TEST_F(SearchTest, SetUpWithoutUsableRecordsReportsAndStaysOpen) {
  auto noFields = std::make_shared<Recordset>();
  noFields->Open("PRAGMA cache_size = 2000", db, adOpenKeyset, adLockReadOnly);
  ASSERT_EQ(noFields->Fields().Count(), 0);
  // No record source and one without fields are reported; one without rows
  // lists its fields. The dialog stays open and returns nothing.
  const std::pair<std::shared_ptr<Recordset>, bool> cases[] = {
      {nullptr, true}, {noFields, true}, {open("SELECT * FROM People WHERE 0"), false}};
  for (const auto& [rs, reported] : cases) {
    boxes.clear();
    search(rs, [&](frmSearch& f) {
      EXPECT_TRUE(f.Visible());
      if (!reported) {
        EXPECT_EQ(f.cmbField().ListCount(), 6);
      }
      // The dialog has no guard of its own: searching and accepting do no harm.
      find(f, "x");
      f.cmdOK().click();
    });
    EXPECT_EQ(returned(), Lines{""});
    ASSERT_EQ(boxes.empty(), !reported);
    if (!reported) continue;
    EXPECT_EQ(boxes[0].prompt, "Search data could not be retrieved.");
    EXPECT_EQ(boxes[0].title, "Search");
    EXPECT_EQ(boxes[0].buttons, vb::vbCritical);
  }
}

TEST_F(SearchTest, FriendlyNamesRenameColumnsAndMapBack) {
  // A chain (Code -> Ref -> Number), a case-only difference, and two rows
  // naming the same friendly name: the later one wins the way back.
  launcher->FriendlyNames(FriendlyNameTable(
      {{"code", "Ref"}, {"REF", "Number"}, {"Name", "Who"}, {"Qty", "Amount"}, {"Due", "Amount"}}));
  search(open(), [&](frmSearch& f) {
    EXPECT_EQ(f.cmbField().items(),
              (Lines{"Number", "Who", "Amount", "Amount", "Active", "Photo"}));
    EXPECT_EQ(f.dbgData().columns().Item(0).DataField(), "Code");
    // "amount" maps back to Due (the last matching row): a date column.
    f.cmbField().pick(2);
    EXPECT_EQ(f.cmbSearchType().List(1), "Greater than or equal to");
    find(f, "2004-02-01");
    EXPECT_EQ(current(f), "C2");
    // Number maps to Ref, which is no field: reported, nothing searched.
    boxes.clear();
    f.cmbField().pick(0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Search");
    EXPECT_NE(boxes[0].prompt.find("'Number' cannot be used"), std::string::npos);
  });

  // No array, a one-dimensional array, and rows that cannot be read rename nothing.
  for (const Variant& names : {Variant(""), Variant(Array::Of({Variant("Code"), Variant("Ref")})),
                               Variant(Array(1, 1, 0, 1))}) {
    launcher->FriendlyNames(names);
    boxes.clear();
    search(open(), [&](frmSearch& f) {
      EXPECT_EQ(f.cmbField().List(1), "Name");
      f.cmbField().pick(1);
      find(f, "Jones");
      EXPECT_EQ(current(f), "C2");
    });
    EXPECT_TRUE(boxes.empty()) << boxes[0].prompt;
  }
}

TEST_F(SearchTest, CriterionForEveryCategoryAndPosition) {
  const auto c = &frmSearch::SearchCriterion;
  EXPECT_EQ(c("Name", 1, 0, "Sm"), "Name = 'Sm'");
  EXPECT_EQ(c("Name", 1, 1, "Sm"), "Name LIKE 'Sm*'");
  EXPECT_EQ(c("Name", 1, 2, "Sm"), "Name LIKE '*Sm'");
  EXPECT_EQ(c("Name", 1, 3, "Sm"), "Name LIKE '*Sm*'");
  EXPECT_EQ(c("Name", 1, 3, "O'B*"), "Name LIKE '*O''B**'");  // quotes doubled, wildcards kept
  EXPECT_EQ(c("Qty", 2, 0, "5"), "Qty = 5");
  EXPECT_EQ(c("Qty", 2, 1, "5"), "Qty >= 5");
  EXPECT_EQ(c("Qty", 2, 2, "5"), "Qty <= 5");
  EXPECT_EQ(c("Qty", 2, 3, "5"), "Qty <> 5");
  EXPECT_EQ(c("Qty", 2, 0, " 1.50 "), "Qty = 1.5");
  EXPECT_EQ(c("Due", 3, 0, "1/2/2004"), "Due = #1/2/2004#");
  EXPECT_EQ(c("Due", 3, 1, "1/2/2004"), "Due >= #1/2/2004#");
  EXPECT_EQ(c("Due", 3, 2, "1/2/2004"), "Due <= #1/2/2004#");
  EXPECT_EQ(c("Due", 3, 3, "1/2/2004"), "Due <> #1/2/2004#");
  EXPECT_EQ(c("Active", 4, 0, "1"), "Active <> 0");
  EXPECT_EQ(c("Active", 4, 0, "0"), "Active = 0");
  EXPECT_EQ(c("Active", 4, 1, "-1"), "Active >= 1");
  EXPECT_EQ(c("Active", 4, 2, "0"), "Active <= 0");
  EXPECT_EQ(c("Active", 4, 3, "1"), "Active = 0 ");
  EXPECT_EQ(c("Active", 4, 3, "0"), "Active <> 0");
  EXPECT_EQ(c("Active", 4, 3, "0.4"), "Active <> 0.4");  // the typed value, not B
  EXPECT_EQ(c("Photo", 0, 0, "x"), "");
  EXPECT_EQ(c("Name", 1, -1, "x"), "");

  // A number typed in the user's locale is written with "." decimals.
  LocaleScope german(Locale::German());
  EXPECT_EQ(c("Qty", 2, 0, "1,5"), "Qty = 1.5");
}

TEST_F(SearchTest, ValuesAreCheckedAgainstTheColumnType) {
  search(open(), [&](frmSearch& f) {
    const auto tryValue = [&](const char* column, const char* value) {
      boxes.clear();
      host.clearTranscript();
      f.cmbField().pick(column);
      find(f, value);
      return boxes.empty() ? std::string() : boxes[0].prompt;
    };
    EXPECT_EQ(tryValue("Qty", "abc"), "Search value must be numeric.");
    EXPECT_EQ(boxes[0].buttons, vb::vbExclamation);
    EXPECT_EQ(boxes[0].title, "Search");
    // A refused value is neither stored nor searched; nothing else happens.
    EXPECT_TRUE(host.lines("MousePointer").empty());
    EXPECT_EQ(host.GetSetting("KivControls", "Search", "Find1"), "");
    EXPECT_EQ(tryValue("Due", "not a date"), "Search value must be numeric.");
    EXPECT_EQ(tryValue("Active", "2"), "Search value must be 0 or 1.");
    EXPECT_EQ(tryValue("Active", "yes"), "Search value must be 0 or 1.");
    EXPECT_EQ(tryValue("Active", "-1"), "");
    EXPECT_EQ(tryValue("Active", "1.5"), "Search value must be 0 or 1.");  // rounds to 2
    EXPECT_EQ(tryValue("Active", "0.5"), "");                              // rounds to 0
    EXPECT_EQ(tryValue("Photo", "anything"), "");
    // The empty value is refused silently.
    f.cmbField().pick("Name");
    f.cmbFind().Text("");
    host.clearTranscript();
    f.cmdFindNext().click();
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(host.lines().empty());
  });
}

TEST_F(SearchTest, RecentValuesAreStoredNewestFirst) {
  const auto stored = [&] {
    Lines out;
    for (int i = 1; i <= 10; ++i)
      out.push_back(host.GetSetting("KivControls", "Search", "Find" + std::to_string(i)));
    return out;
  };
  search(open(), [&](frmSearch& f) {
    f.cmbField().pick("Name");
    for (int i = 1; i <= 11; ++i)
      find(f, "v" + std::to_string(i));
    EXPECT_EQ(stored(), (Lines{"v11", "v10", "v9", "v8", "v7", "v6", "v5", "v4", "v3", "v2"}));
    // The value just stored comes back into the box, at the top of its list.
    EXPECT_EQ(f.cmbFind().Text(), "v11");
    EXPECT_EQ(f.cmbFind().List(0), "v11");
    // A stored value is not moved; another case of it is a new entry.
    find(f, "v5");
    EXPECT_EQ(stored()[0], "v11");
    find(f, "V5");
    EXPECT_EQ(stored()[0], "V5");
    EXPECT_EQ(stored()[1], "v11");
  });
  // An empty key in the middle is skipped when the list is loaded.
  host.SaveSetting("KivControls", "Search", "Find4", "");
  search(open(), [&](frmSearch& f) {
    EXPECT_EQ(f.cmbFind().ListCount(), 9);
    EXPECT_EQ(f.cmbFind().List(3), "v8");
    EXPECT_EQ(f.cmbFind().Text(), "");
  });
}

TEST_F(SearchTest, SettingsStoreFailuresAreReportedAndTheSearchRuns) {
  // A store that cannot be written.
  host.useSettingsFile(std::filesystem::temp_directory_path() / "kiv-no-such-dir" / "s.json");
  search(open(), [&](frmSearch& f) {
    f.cmbField().pick("Name");
    find(f, "Jones");
    EXPECT_EQ(current(f), "C2");
  });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].prompt.find("could not be added to the recent search values"),
            std::string::npos);
  EXPECT_NE(boxes[0].prompt.find("s.json"), std::string::npos);

  // A store that cannot be read.
  struct UnreadableHost : HeadlessHost {
    std::string GetSetting(std::string_view, std::string_view, std::string_view,
                           std::string_view) override {
      throw Error(75, "test", "Path/File access error");
    }
  } unreadable;
  int shown = 0;
  unreadable.setAnswerCallback([&](std::string_view, int, std::string_view) {
    ++shown;
    return vb::vbOK;
  });
  Host::SetCurrent(&unreadable);
  search(open(), [&](frmSearch& f) {
    EXPECT_EQ(shown, 1);  // on load
    f.cmbField().pick("Name");
    find(f, "Brown");
    EXPECT_EQ(current(f), "C5");
  });
  EXPECT_EQ(shown, 2);
  Host::SetCurrent(&host);
}

TEST_F(SearchTest, FindAndFindNextStepThroughTheMatches) {
  search(open(), [&](frmSearch& f) {
    f.cmbField().pick("Name");
    f.cmbSearchType().pick("Starting with");
    host.clearTranscript();
    find(f, "Sm");
    EXPECT_EQ(current(f), "C1");
    EXPECT_EQ(f.cmdFindNext().Caption(), "&Find Next");
    EXPECT_EQ(f.dbgData().Row(), 0);
    // The pointer is busy for the press and set back to normal, not restored.
    EXPECT_EQ(host.lines("MousePointer"),
              (Lines{"MousePointer 11", "MousePointer 11", "MousePointer 0", "MousePointer 0"}));
    f.cmdFindNext().click();
    EXPECT_EQ(current(f), "C4");
    // A miss: beep, past the end, back to Find; the next press starts over.
    host.clearTranscript();
    f.cmdFindNext().click();
    EXPECT_EQ(current(f), "EOF");
    EXPECT_EQ(host.lines("Beep").size(), 1u);
    EXPECT_EQ(f.cmdFindNext().Caption(), "&Find");
    f.cmdFindNext().click();
    EXPECT_EQ(current(f), "C1");
    // A change of the type of search keeps the state: the next press goes on.
    f.cmbSearchType().pick("Ending with");
    f.cmbFind().pick(0);  // the stored "Sm": picking from the list is no edit
    EXPECT_EQ(f.cmdFindNext().Caption(), "&Find Next");
    f.cmbFind().Text("e");
    EXPECT_EQ(f.cmdFindNext().Caption(), "&Find");  // an edit resets it
    f.cmdFindNext().click();
    EXPECT_EQ(current(f), "C4");  // Smythe
    f.cmbField().pick("Qty");
    EXPECT_EQ(f.cmdFindNext().Caption(), "&Find");  // so does a column change

    // O'Brien is found by its quote; typed wildcards stay wildcards.
    f.cmbField().pick("Name");
    f.cmbSearchType().pick("Equal to");
    find(f, "o'brien");
    EXPECT_EQ(current(f), "C3");
    f.cmbSearchType().pick("Containing");
    find(f, "'");
    EXPECT_EQ(current(f), "C3");
    find(f, "Sm?th");  // a typed wildcard stays one
    EXPECT_EQ(current(f), "C1");
    f.cmdFindNext().click();
    EXPECT_EQ(current(f), "C4");
  });
  EXPECT_TRUE(boxes.empty()) << boxes[0].prompt;
}

TEST_F(SearchTest, OtherColumnsStepRecordByRecordAndErrorsAreReported) {
  search(open(), [&](frmSearch& f) {
    // A column of raw bytes has no criterion: every press is a hit on the next record.
    f.cmbField().pick("Photo");
    find(f, "x");
    EXPECT_EQ(current(f), "C1");
    EXPECT_EQ(f.cmdFindNext().Caption(), "&Find Next");
    for (const char* code : {"C2", "C3", "C4", "C5"}) {
      f.cmdFindNext().click();
      EXPECT_EQ(current(f), code);
    }
    host.clearTranscript();
    f.cmdFindNext().click();
    EXPECT_EQ(current(f), "EOF");
    EXPECT_EQ(host.lines("Beep").size(), 1u);
    EXPECT_EQ(f.cmdFindNext().Caption(), "&Find");

    // A column the dialog cannot search any more is reported; nothing moves.
    f.arsSearch_RecordSource->Close();
    boxes.clear();
    f.cmbField().pick("Name");
    find(f, "Smith");
    ASSERT_EQ(boxes.size(), 2u);  // the column change and the press
    EXPECT_EQ(boxes[1].title, "Search");
    EXPECT_NE(boxes[1].prompt.find("'Name' cannot be used"), std::string::npos);
  });
}

TEST_F(SearchTest, ACriterionTheRecordSourceRefusesIsASearchError) {
  // A field name goes into the criterion as it is; this one is not readable there.
  search(open("SELECT Code, Name AS \"It's\" FROM People"), [&](frmSearch& f) {
    f.cmbField().pick("It's");
    host.clearTranscript();
    find(f, "Smith");
    EXPECT_EQ(current(f), "EOF");
    EXPECT_EQ(f.cmdFindNext().Caption(), "&Find");
  });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Search Error");
  EXPECT_EQ(boxes[0].buttons, vb::vbCritical);
  EXPECT_EQ(boxes[0].prompt.rfind(
                "The following error occurred while searching (funSearch): \r\n3001 - ", 0),
            0u)
      << boxes[0].prompt;
  EXPECT_NE(boxes[0].prompt.find("\r\nSQL: It's = 'Smith'"), std::string::npos);
  // The pointer is back to normal before the message, then the miss is handled.
  EXPECT_EQ(host.lines("Beep").size(), 1u);
  EXPECT_EQ(host.MousePointer(), 0);
}

TEST_F(SearchTest, HeaderClicksSortDescendingThenAlternate) {
  search(open(), [&](frmSearch& f) {
    Recordset& rs = *f.arsSearch_RecordSource;
    const auto click = [&](std::int16_t col) {
      f.dbgData().headClick(col);
      return rs.Sort();
    };
    EXPECT_EQ(click(1), "Name DESC");
    EXPECT_EQ(f.dbgData().cellText(0, 1), "Smythe");
    EXPECT_EQ(click(1), "Name ASC");
    EXPECT_EQ(f.dbgData().cellText(0, 1), "Brown");
    EXPECT_EQ(click(1), "Name DESC");
    EXPECT_EQ(click(0), "Code DESC");
    rs.Sort("Name, Code DESC");
    EXPECT_EQ(click(1), "Name DESC");
    rs.Sort("Name, Code DESC");
    EXPECT_EQ(click(0), "Code DESC");
    // Friendly captions sort by the field behind them.
    rs.Sort("");
    f.dbgData().columns().Item(2).Caption("Amount");
    EXPECT_EQ(click(2), "Qty DESC");
  });
  // A record set that cannot be sorted keeps its order, without a message.
  search(open(), [&](frmSearch& f) {
    f.arsSearch_RecordSource->Close();
    EXPECT_TRUE(f.dbgData().headClick(1));
  });
  EXPECT_TRUE(boxes.empty());
}

TEST_F(SearchTest, AcceptReturnsTheCurrentRowsFieldsAndEveryOtherEndingNothing) {
  // OK, double click and Enter in the grid all accept.
  const std::vector<std::function<void(frmSearch&)>> accepts = {
      [](frmSearch& f) { f.cmdOK().click(); },
      [](frmSearch& f) { f.dbgData().dblClick(); },
      [](frmSearch& f) { f.dbgData().keyDown(key::Return); },
      [](frmSearch& f) { f.dbgData().pressKey(key::Return); },
  };
  for (const auto& accept : accepts) {
    launcher->Return_Fields("Code,Name");
    search(open(), [&](frmSearch& f) {
      f.dbgData().clickCell(2, 0);
      accept(f);
      EXPECT_FALSE(f.IsLoaded());
    });
    EXPECT_EQ(returned(), (Lines{"C3", "O'Brien"}));
  }
  // Numbers, dates and Null as text.
  launcher->Return_Fields("Qty,Due,Active,Name");
  search(open(), [&](frmSearch& f) {
    f.dbgData().Row(3);
    f.cmdOK().click();
  });
  EXPECT_EQ(returned(), (Lines{"", "", "", "Smythe"}));
  search(open(), [&](frmSearch& f) { f.cmdOK().click(); });
  EXPECT_EQ(returned(), (Lines{"5", "1/2/2004", "True", "Smith"}));

  // Cancel, Escape, a failed search and return fields naming nothing return
  // nothing. A blank after a comma names no field: reported, and no partial result.
  const auto ok = [](frmSearch& f) {
    f.cmdOK().click();
    EXPECT_FALSE(f.IsLoaded());
  };
  const std::vector<std::pair<std::string, std::function<void(frmSearch&)>>> refusals = {
      {"Code", [](frmSearch& f) { f.cmdCancel().click(); }},
      {"Code", [](frmSearch& f) { f.dbgData().pressKey(key::Escape); }},
      {"Code",
       [](frmSearch& f) {
         find(f, "Nobody");
         f.cmdOK().click();
       }},
      {"   ", ok},
      {"Code, Name", ok},
  };
  for (const auto& [fields, refuse] : refusals) {
    launcher->Return_Fields(fields);
    search(open(), refuse);
    EXPECT_EQ(returned(), Lines{""}) << fields;
  }
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Search");
  EXPECT_NE(boxes[0].prompt.find("' Name'"), std::string::npos);
}

TEST_F(SearchTest, TheLayoutFollowsTheSizeWithAMinimum) {
  frmSearch& f = frmSearch::Instance();
  launcher->Search_RecordSource(open());
  launcher->ShowSearch(0, Variant());
  ASSERT_TRUE(f.Visible());
  // The starting size lays the widgets out at their design places.
  EXPECT_EQ(f.cmdOK().Left(), 5400);
  EXPECT_EQ(f.cmdOK().Top(), 4260);
  EXPECT_EQ(f.dbgData().Width(), 7620);
  f.Width(4000);
  f.Height(1000);
  EXPECT_EQ(f.Width(), 5300);
  EXPECT_EQ(f.Height(), 3200);
  EXPECT_EQ(f.dbgData().Width(), 5080);
  EXPECT_EQ(f.cmdCancel().Left(), 4060);
  EXPECT_EQ(f.cmdOK().Left(), 2860);
  EXPECT_EQ(f.cmdCancel().Top(), 2280);
  EXPECT_EQ(f.dbgData().Height(), 1000);
  f.Width(9000);
  EXPECT_EQ(f.cmdCancel().Left(), 7760);
  f.cmdCancel().click();
  EXPECT_FALSE(f.IsLoaded());
}

}  // namespace
}  // namespace kiv::test
