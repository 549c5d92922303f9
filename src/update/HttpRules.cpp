// The rules every platform's transfer follows, apart from the client that carries them out.
#include "base/Text.h"
#include "update/HttpDownload.h"

namespace launcher {

const char* RedirectProtocolsFor(const std::string& url) {
  return StartsWithNoCase(url, "https://") ? "https" : "http,https";
}

}  // namespace launcher
