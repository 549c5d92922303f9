// The launcher-pack command line: build, inspect, check, extract. Kept apart from main() so
// the tests run it without a process of its own.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace launcher::pack {

// Exit codes: 0 success (check: clean), 1 check found warnings only, 2 errors (a refused build,
// a check with errors, bad arguments, unreadable or unwritable files).
int RunPacker(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

extern const char kUsage[];

}  // namespace launcher::pack
