// The desktop's web browser for a test program: a script that records, one a line, the addresses
// it is asked to open, installed as the default handler of http and https in XDG folders of the
// program's own. GLib reads the XDG folders once, at its first use: make the object before
// anything of GLib runs (at the start of main, or as a static object of the program).
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace testsupport {

class RecordingBrowser {
 public:
  // The folders go under dir (made when empty), removed with the object when it made them.
  explicit RecordingBrowser(std::string dir = {}) : dir_(std::move(dir)) {
    if (dir_.empty()) {
      char name[] = "/tmp/recording-browser-XXXXXX";
      if (!mkdtemp(name)) {
        return;
      }
      dir_ = name;
      owned_ = true;
    }
    std::filesystem::create_directories(dir_ + "/data/applications");
    std::filesystem::create_directories(dir_ + "/config");
    const std::string script = dir_ + "/record-url";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$@\" >>" << Log() << "\n";
    chmod(script.c_str(), 0755);
    std::ofstream(dir_ + "/data/applications/test-recorder.desktop")
        << "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" << script
        << " %u\nMimeType=x-scheme-handler/http;x-scheme-handler/https;\nNoDisplay=true\n";
    std::ofstream(dir_ + "/config/mimeapps.list")
        << "[Default Applications]\nx-scheme-handler/http=test-recorder.desktop\n"
           "x-scheme-handler/https=test-recorder.desktop\n";
    setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
  }
  ~RecordingBrowser() {
    std::error_code ignored;
    if (owned_) {
      std::filesystem::remove_all(dir_, ignored);
    }
  }
  RecordingBrowser(const RecordingBrowser&) = delete;
  RecordingBrowser& operator=(const RecordingBrowser&) = delete;

  std::string Log() const { return dir_ + "/opened"; }
  // What the browser was asked to open so far (each launch is a process of its own: the lines
  // come in the order the launches ran).
  std::string Opened() const {
    std::ifstream in(Log());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::string dir_;
  bool owned_ = false;
};

}  // namespace testsupport
