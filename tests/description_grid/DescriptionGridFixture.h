#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kiv/data/Connection.h"
#include "kiv/field_editor/DefaultSizeFlag.h"
#include "kiv/host/Form.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "kiv/runtime/PropertyBag.h"
#include "support/HostedTest.h"

namespace kiv::test {

// A property bag that keeps typed values (objects included) and records the
// order of reads and writes with the defaults given.
class RecordingBag : public PropertyBag {
 public:
  Variant ReadProperty(std::string_view name, const Variant& def) override {
    reads.emplace_back(name);
    const auto it = values.find(std::string(name));
    return it == values.end() ? def : it->second;
  }
  void WriteProperty(std::string_view name, const Variant& value, const Variant& def) override {
    writes.emplace_back(name);
    defaults[std::string(name)] = def;
    if (value == def)
      values.erase(std::string(name));  // as the host does: a default is left out
    else
      values[std::string(name)] = value;
  }

  std::map<std::string, Variant> values;
  std::map<std::string, Variant> defaults;
  std::vector<std::string> reads, writes;
};

// A headless host over an in-memory SQLite database of customers (text
// codes) and products (number codes).
class DescriptionGridTest : public HostedTest {
 protected:
  void SetUp() override {
    HostedTest::SetUp();
    DefaultSizeFlag::Clear();
    db = Connection::OpenNew("sqlite::memory:");
    db->Execute(
        "CREATE TABLE Customers (Code VARCHAR(20) PRIMARY KEY, Name VARCHAR(40), Active BOOLEAN);"
        "INSERT INTO Customers VALUES ('A7', 'Alpha Seven', 1);"
        "INSERT INTO Customers VALUES ('B2', 'Beta Two', 1);"
        "INSERT INTO Customers VALUES ('O''HARA', 'O''Hara Supplies', 1);"
        "INSERT INTO Customers VALUES ('N1', NULL, 1);"
        "INSERT INTO Customers VALUES ('X9', 'Closed', 0);"
        "CREATE TABLE Products (Id INTEGER PRIMARY KEY, Descr VARCHAR(40));"
        "INSERT INTO Products VALUES (7, 'Seven');"
        "INSERT INTO Products VALUES (12, 'Twelve');");
  }
  std::vector<std::string> propertyChanges() const { return host.lines("PropertyChanged"); }

  Form form{"frmTest"};
  std::shared_ptr<Connection> db;
};

}  // namespace kiv::test
