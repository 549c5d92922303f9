// The rules every platform's transfer follows, and what a download does around its transfer,
// apart from the client that carries it out.
#include "base/Text.h"
#include "update/HttpDownload.h"
#include "update/UpdatePlatform.h"

namespace launcher {

const char* RedirectProtocolsFor(const std::string& url) {
  return StartsWithNoCase(url, "https://") ? "https" : "http,https";
}

void CHttpDownload::SetUrlAndTarget(std::string url, std::string targetPath) {
  url_ = std::move(url);
  targetPath_ = std::move(targetPath);
}

bool CHttpDownload::Download() {
  if (completed_) {
    return true;
  }
  lastError_.clear();
  bool created = false;
  if (Transfer(&created)) {
    completed_ = true;
    return true;
  }
  // Whatever part of the body arrived is of no use, and a cut executable must never be run.
  file_.Close();
  if (created) {
    RemoveFile(targetPath_);
  }
  return false;
}

}  // namespace launcher
