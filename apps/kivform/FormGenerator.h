#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

namespace kiv {
class Connection;
}

namespace kivform {

// Writes a working form file for one table from the table's schema, as
// `kivform --new URI TABLE [--friendly-names TABLE]` does:
//
// - one form controller over the table (every field, ordered by the key,
//   edit rights), with a search launcher wired to it that returns the key;
// - per column a label and a field editor by the column's type: text,
//   number (amounts formatted with their decimals), date, check box; a
//   type no editor shows (binary data, a geometric type, a column without
//   a declared type) gets a text editor and a note;
// - the key column(s) as Primary_Key_Field (typed only while adding), NOT
//   NULL columns as Required_Field, text lengths as MaxLength;
// - captions from the friendly-name table when one is named (its rows for
//   this table: TableName, FieldName, FriendlyName), which the controller
//   then also uses for the search dialog's columns; else the column names;
// - the fields in columns of at most twelve rows, labels to the left, the
//   tab order down each column in turn.
//
// The connection's URI is written as given: a relative SQLite path is read
// from the form file's folder, so the file goes beside the database.
class FormGenerator {
 public:
  FormGenerator(kiv::Connection& connection, std::string uri);

  // The form file for the table. A table (or friendly-name table) that does
  // not exist, or a table without columns, raises a kiv::Error naming it;
  // notes on columns go to `notes`, one line each.
  nlohmann::ordered_json generate(const std::string& table, const std::string& friendlyNames,
                                  std::ostream& notes);

 private:
  kiv::Connection& connection_;
  std::string uri_;
};

}  // namespace kivform
