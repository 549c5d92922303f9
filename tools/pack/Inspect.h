// What a package holds, shown to people (plain UTF-8 text) or to programs (JSON): where the
// archive starts and how that was found, the entries, and the configuration exactly as the
// launcher parsed it, under the configuration's own key and field names.
#pragma once

#include <string>

#include "pack/Package.h"

namespace launcher::pack {

std::string InspectText(const Package& package);
std::string InspectJson(const Package& package);

}  // namespace launcher::pack
