#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kivform {

// Exit statuses of kivform.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;    // an expectation of the script failed
inline constexpr int kExitBadInput = 2;  // malformed form file, script or command line

// The whole kivform command: args are the command-line arguments without
// the program name. The transcript goes to out, errors to err.
//
//   kivform FORM.json [--db URI|NAME=URI]... [--script FILE] [--locale NAME]
//           [--settings FILE] [--today yyyy-mm-dd] [--save OUT.json]
//           [--screenshot FILE.png]
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kivform
