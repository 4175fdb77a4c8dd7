#include "postgres/PgTestSupport.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace kivtest::pg {

namespace {

std::string ReadFirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// The schema name in a FreshSchema string.
std::string SchemaOf(const std::string& connectionString) {
  const std::string marker = "search_path%3D";
  auto pos = connectionString.find(marker);
  if (pos == std::string::npos) throw std::runtime_error("not a FreshSchema string");
  return connectionString.substr(pos + marker.size());
}

PGconn* Admin() {
  static RawConn admin = [] {
    RawConn c = Connect(ServerUri());
    PQsetNoticeProcessor(
        c.get(), [](void*, const char*) {}, nullptr);
    return c;
  }();
  if (PQstatus(admin.get()) != CONNECTION_OK) PQreset(admin.get());
  return admin.get();
}

}  // namespace

const std::string& ServerUri() {
  static const std::string uri = [] {
    if (const char* env = std::getenv("KIV_PG_URI"); env && *env) return std::string(env);
    std::string file = KIV_PG_DEFAULT_URI_FILE;
    if (const char* env = std::getenv("KIV_PG_URI_FILE"); env && *env) file = env;
    std::string line = ReadFirstLine(file);
    if (line.empty())
      throw std::runtime_error(
          "no PostgreSQL test server: " + file +
          " is missing (run the tests through ctest, whose fixture starts the server, or set "
          "KIV_PG_URI)");
    return line;
  }();
  return uri;
}

RawConn Connect(const std::string& connectionString) {
  RawConn conn(PQconnectdb(connectionString.c_str()));
  if (PQstatus(conn.get()) != CONNECTION_OK)
    throw std::runtime_error("cannot connect to " + connectionString + ": " +
                             PQerrorMessage(conn.get()));
  return conn;
}

std::string Scalar(PGconn* conn, const std::string& sql) {
  PGresult* res = PQexec(conn, sql.c_str());
  const ExecStatusType status = PQresultStatus(res);
  if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
    std::string message = PQresultErrorMessage(res);
    PQclear(res);
    throw std::runtime_error(sql + ": " + message);
  }
  std::string value =
      status == PGRES_TUPLES_OK && PQntuples(res) > 0 ? PQgetvalue(res, 0, 0) : std::string();
  PQclear(res);
  return value;
}

std::string FreshSchema() {
  static std::atomic<int> counter{0};
  const std::string schema = "t_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
  Scalar(Admin(), "CREATE SCHEMA " + schema);
  const std::string& base = ServerUri();
  return base + (base.find('?') == std::string::npos ? "?" : "&") + "options=-csearch_path%3D" +
         schema;
}

PrivateServer::PrivateServer() {
  static std::atomic<int> counter{0};
  state_ = (std::filesystem::temp_directory_path() /
            ("kiv-pg-private-" + std::to_string(getpid()) + "-" + std::to_string(++counter)))
               .string();
  script("start");
  uri_ = ReadFirstLine(state_ + "/uri");
  if (uri_.empty()) throw std::runtime_error("the private server wrote no URI in " + state_);
}

PrivateServer::~PrivateServer() {
  try {
    script("stop");
  } catch (const std::exception&) {
  }
  std::error_code ec;
  std::filesystem::remove_all(state_, ec);
}

void PrivateServer::down() {
  script("down");
}

void PrivateServer::up() {
  script("up");
}

void PrivateServer::script(const std::string& command) {
  const std::string line =
      "bash '" KIV_PG_SERVER_SCRIPT "' " + command + " '" + state_ + "' >/dev/null 2>&1";
  if (std::system(line.c_str()) != 0)
    throw std::runtime_error("pg-test-server.sh " + command + " " + state_ + " failed");
}

void DropSchema(const std::string& connectionString) {
  Scalar(Admin(), "DROP SCHEMA IF EXISTS " + SchemaOf(connectionString) + " CASCADE");
}

}  // namespace kivtest::pg
