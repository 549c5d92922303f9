// Download throughput of CHttpDownload against "curl -s -o FILE URL" on loopback, in the same
// run, and the peak memory of each while it downloads.
//
//   update_bench [--size-mb N] [--rounds N] [--dir FOLDER]
//
// Serves a patterned body of N MB (default 200) from a server thread in this process and
// fetches it, in turns, with a child process running CHttpDownload ("update_bench fetch URL
// FILE") and with the curl command line. Each child's time is taken from its start to its end;
// its peak resident memory comes from the system's accounting of the ended child. A fetch of a
// 1 MB body gives the memory the transfer needs without a large body, to show it stays flat.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/TestHttpServer.h"
#include "update/HttpDownload.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
  double seconds = 0;
  long peakKiB = 0;
  bool ok = false;
};

Run Spawn(const std::vector<std::string>& args) {
  std::vector<std::string> copy = args;
  std::vector<char*> argv;
  for (auto& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  auto start = Clock::now();
  pid_t pid = 0;
  Run run;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return run;
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  run.peakKiB = usage.ru_maxrss;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

// The file has the served length and the served bytes at a spread of offsets.
bool Check(const std::string& path, std::uint64_t size) {
  std::error_code error;
  if (std::filesystem::file_size(path, error) != size || error) return false;
  std::ifstream in(path, std::ios::binary);
  for (std::uint64_t offset = 0; offset < size; offset += size / 97 + 1) {
    in.seekg(static_cast<std::streamoff>(offset));
    char c = 0;
    if (!in.get(c) || c != testsupport::GeneratedByte(offset)) return false;
  }
  return true;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

int Fetch(const std::string& url, const std::string& file) {
  launcher::CHttpDownload download;
  download.SetUrlAndTarget(url, file);
  if (!download.Download()) {
    std::fprintf(stderr, "fetch failed: %s\n", download.LastError().c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "fetch") == 0) return Fetch(argv[2], argv[3]);

  std::uint64_t sizeMb = 200;
  int rounds = 3;
  std::string dir = std::filesystem::temp_directory_path().string();
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    if (option == "--size-mb") {
      sizeMb = std::strtoull(argv[i + 1], nullptr, 10);
    } else if (option == "--rounds") {
      rounds = std::max(1, std::atoi(argv[i + 1]));
    } else if (option == "--dir") {
      dir = argv[i + 1];
    }
  }
  const std::uint64_t size = sizeMb * 1000 * 1000;
  const std::string self = "/proc/self/exe";
  const std::string me = std::filesystem::read_symlink(self).string();
  const std::string file = dir + "/update_bench." + std::to_string(getpid()) + ".bin";

  testsupport::TestHttpServer server;  // also keeps proxies out of the way
  server.Serve("/big", testsupport::HttpReply::Generated(size));
  server.Serve("/small", testsupport::HttpReply::Generated(1000 * 1000));

  Run small = Spawn({me, "fetch", server.Url("/small"), file});
  std::remove(file.c_str());

  std::vector<double> ours, curls;
  long oursPeak = 0, curlPeak = 0;
  bool allOk = small.ok;
  for (int round = 0; round < rounds; ++round) {
    Run a = Spawn({me, "fetch", server.Url("/big"), file});
    a.ok = a.ok && Check(file, size);
    std::remove(file.c_str());
    Run b = Spawn({"curl", "-s", "-o", file, server.Url("/big")});
    b.ok = b.ok && Check(file, size);
    std::remove(file.c_str());
    allOk = allOk && a.ok && b.ok;
    ours.push_back(static_cast<double>(size) / a.seconds / 1e6);
    curls.push_back(static_cast<double>(size) / b.seconds / 1e6);
    oursPeak = std::max(oursPeak, a.peakKiB);
    curlPeak = std::max(curlPeak, b.peakKiB);
    std::printf("round %d: CHttpDownload %.0f MB/s, curl %.0f MB/s\n", round + 1, ours.back(),
                curls.back());
  }
  double ratio = Median(ours) / Median(curls);
  std::printf("body: %llu MB on 127.0.0.1, %d rounds, medians\n",
              static_cast<unsigned long long>(sizeMb), rounds);
  std::printf("CHttpDownload: %.0f MB/s   curl: %.0f MB/s   ratio: %.2f (target >= 0.90)\n",
              Median(ours), Median(curls), ratio);
  std::printf("peak RSS: CHttpDownload %ld KiB for %llu MB, %ld KiB for 1 MB; curl %ld KiB\n",
              oursPeak, static_cast<unsigned long long>(sizeMb), small.peakKiB, curlPeak);
  if (!allOk) std::printf("A TRANSFER FAILED OR GAVE OTHER BYTES\n");
  return allOk ? 0 : 1;
}
