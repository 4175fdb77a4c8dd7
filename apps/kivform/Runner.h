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
// the program name. The transcript goes to out (or the --transcript file),
// errors to err. With a display and nothing else to do (no script, save or
// screenshot) the screen is shown in a window until it is closed.
//
//   kivform FORM.json [--db URI|NAME=URI]... [--script FILE] [--locale NAME]
//           [--settings FILE] [--today yyyy-mm-dd] [--save OUT.json]
//           [--screenshot FILE.png] [--transcript FILE]
//   kivform --new URI TABLE [--friendly-names TABLE]
//           (the form file for a table on out, notes on its columns on err)
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kivform
