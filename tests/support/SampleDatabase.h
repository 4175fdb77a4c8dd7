#pragma once

// The samples' orders database in a scratch folder, for the tests that run
// the sample screens (the runner, the Qt window, the window under X).

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/runtime/Conversions.h"

namespace kiv::test {

inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A fresh copy of the samples' database at `file`, made from orders.sql.
inline void MakeSampleDatabase(const std::filesystem::path& file) {
  std::filesystem::remove(file);
  auto db = Connection::OpenNew("sqlite:" + file.string());
  db->Execute(ReadText(std::filesystem::path(KIV_SAMPLES_DIR) / "orders.sql"));
  db->Close();
}

// The first value of a query on a SQLite database file, as text.
inline std::string Scalar(const std::filesystem::path& file, const std::string& sql) {
  Recordset rs;
  rs.Open(sql, Connection::OpenNew("sqlite:" + file.string()));
  return rs.EOF() ? "<none>" : TextOf(rs[0].Value());
}

}  // namespace kiv::test
