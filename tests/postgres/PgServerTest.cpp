// The throwaway server itself: reachable only from this machine.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "postgres/PgTestSupport.h"

namespace kivtest::pg {
namespace {

// Local addresses (hex, as /proc/net/tcp{,6} write them) of the sockets
// listening on a port.
std::vector<std::string> ListeningAddresses(int port) {
  std::vector<std::string> found;
  char hexPort[8];
  std::snprintf(hexPort, sizeof hexPort, "%04X", port);
  for (const char* path : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string slot, local, remote, state;
      fields >> slot >> local >> remote >> state;
      const auto colon = local.rfind(':');
      if (state == "0A" && colon != std::string::npos && local.substr(colon + 1) == hexPort)
        found.push_back(local.substr(0, colon));
    }
  }
  return found;
}

TEST(PgServer, ListensOnLoopbackOnly) {
  RawConn conn = Connect(ServerUri());
  EXPECT_EQ(Scalar(conn.get(), "SHOW listen_addresses"), "127.0.0.1");
  const int port = std::stoi(Scalar(conn.get(), "SHOW port"));
  const auto addresses = ListeningAddresses(port);
  ASSERT_FALSE(addresses.empty()) << "nothing listens on port " << port;
  for (const auto& a : addresses)
    EXPECT_EQ(a, "0100007F") << "a non-loopback listener: " << a;
  EXPECT_EQ(Scalar(conn.get(), "SELECT host(inet_server_addr())"), "127.0.0.1");
  // The test role is an ordinary one: the tests need no superuser.
  EXPECT_EQ(Scalar(conn.get(), "SELECT rolsuper FROM pg_roles WHERE rolname = current_user"), "f");
}

}  // namespace
}  // namespace kivtest::pg
