// The velk command in hostile surroundings: a disk that fills while the reports
// are written, signals during a bootstrap, standard descriptors closed or
// failing. Every row runs on a fresh copy of the examples and ends with the
// exit status it must give, its inputs unchanged, and no report that looks
// finished when its run did not finish: `velk --load` lists only reports that
// exist and marks each of an unfinished run, and a report on a full disk is
// either whole (the bytes of an undisturbed run) or absent.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/files.hpp"
#include "support/velk_command.hpp"

namespace velk::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUnfinished = "(its run did not finish)";

// How the command's standard output is given.
enum class Out { kPipe, kPipeWithoutReader, kFull, kAllClosed };

struct Launched {
  int status = -1;  // exit status, or minus the signal that killed it
  std::string output;
};

// Runs velk with `args` in `dir`. With `signals`, each is sent (in order) once
// the output shows the bootstrap under way.
Launched Launch(const fs::path& dir, const std::vector<std::string>& args, Out out,
                const std::vector<int>& signals = {}) {
  std::vector<std::string> words{VELK_BINARY};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const std::string folder = dir.string();
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    // Only calls that are safe after a fork, up to the exec.
    if (chdir(folder.c_str()) != 0) _exit(127);
    if (out == Out::kAllClosed) {
      close(0);
      close(1);
      close(2);
    } else {
      dup2(fds[1], 2);
      if (out == Out::kPipe) {
        dup2(fds[1], 1);
      } else if (out == Out::kFull) {
        dup2(open("/dev/full", O_WRONLY), 1);
      } else {
        int p[2];
        if (pipe(p) != 0) _exit(127);
        close(p[0]);
        dup2(p[1], 1);
      }
    }
    close(fds[0]);
    close(fds[1]);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  Launched r;
  bool sent = signals.empty();
  char buf[4096];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) {
    r.output.append(buf, static_cast<std::size_t>(n));
    if (!sent && r.output.find("Performing bootstrap...") != std::string::npos) {
      sent = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      for (int sig : signals) kill(pid, sig);
    }
  }
  close(fds[0]);
  int st = 0;
  waitpid(pid, &st, 0);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : WIFSIGNALED(st) ? -WTERMSIG(st) : -1;
  return r;
}

// A tmpfs of `kb` kilobytes mounted on `at` (root only), unmounted at the end.
class SmallDisk {
 public:
  SmallDisk(const fs::path& at, int kb) : at_(at) {
    fs::create_directories(at);
    const std::string size = "size=" + std::to_string(kb) + "k";
    mounted_ = mount("tmpfs", at.c_str(), "tmpfs", 0, size.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted_) umount2(at_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }

 private:
  fs::path at_;
  bool mounted_ = false;
};

// A fresh copy of the examples; "long.ctl" is the bootstrap with resamples
// enough to be under way when a signal comes.
void CopyExamples(const fs::path& dir) {
  fs::copy(fs::path(VELK_SOURCE_DIR) / "examples", dir, fs::copy_options::recursive);
  fs::remove_all(dir / "out");
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".log") fs::remove(e.path());
  std::string boot = ReadFile(dir / "bootstrap.ctl");
  const std::string from = "Number of resamples: 200";
  boot.replace(boot.find(from), from.size(), "Number of resamples: 1000000");
  WriteFile(dir / "long.ctl", boot);
}

// The files of a folder by name (reports), as text.
std::map<std::string, std::string> Contents(const fs::path& folder) {
  std::map<std::string, std::string> files;
  if (!fs::is_directory(folder)) return files;
  for (const auto& e : fs::directory_iterator(folder))
    files[e.path().filename().string()] = ReadFile(e.path());
  return files;
}

// The reports of an undisturbed run of `control`, made once.
const std::map<std::string, std::string>& Whole(const std::string& control) {
  static std::map<std::string, std::map<std::string, std::string>> made;
  auto it = made.find(control);
  if (it != made.end()) return it->second;
  TempDir dir;
  CopyExamples(dir.Path());
  Launch(dir.Path(), {control}, Out::kPipe);
  return made[control] = Contents(dir.Path() / "out");
}

struct Surrounding {
  const char* name;
  std::string control;
  Out out;
  std::vector<int> signals;  // sent once the bootstrap is under way
  int disk_kb;               // > 0: the output folder is a tmpfs of this size
  int status;                // the exit status it must give (minus a killing signal)
  bool finished;             // the log ends "Analysis Complete"
  std::string message;       // a piece of the log
  std::string error;         // a piece of the output or standard error
};

void Check(const Surrounding& c) {
  SCOPED_TRACE(c.name);
  TempDir tmp;
  const fs::path& dir = tmp.Path();
  CopyExamples(dir);
  const std::map<std::string, std::string> inputs = Contents(dir);
  SmallDisk disk(dir / "out", c.disk_kb);
  if (c.disk_kb > 0 && !disk.Mounted()) {
    std::printf("  [ skipped ] %s: no tmpfs can be mounted (not root)\n", c.name);
    return;
  }

  const Launched r = Launch(dir, {c.control}, c.out, c.signals);
  EXPECT_EQ(r.status, c.status) << r.output;
  EXPECT_NE(r.output.find(c.error), std::string::npos) << r.output;
  const std::string stem = c.control.substr(0, c.control.find('.'));
  const std::string log = ReadFile(dir / (stem + ".log"));
  // The log is the run's own: its first entry names it, never a status line.
  EXPECT_EQ(log.rfind("\n *** Note: VELK program.\n", 0), 0u) << log;
  EXPECT_NE(log.find(c.message), std::string::npos) << log;
  const bool killed = c.status < 0 || c.signals.size() > 1;
  if (!killed) {
    EXPECT_TRUE(log.ends_with(c.finished ? "\n Analysis Complete\n" : "\n Analysis Aborted\n"))
        << log;
  }

  for (const auto& [name, text] : inputs) {
    if (fs::is_regular_file(dir / name)) {
      EXPECT_EQ(ReadFile(dir / name), text) << name;
    }
  }
  const std::map<std::string, std::string> reports = Contents(dir / "out");
  const std::map<std::string, std::string>& whole = c.disk_kb > 0 ? Whole(c.control) : reports;
  for (const auto& [name, text] : reports) {
    EXPECT_TRUE(killed || !name.ends_with(".part")) << name << " left behind";
    // On a full disk a report is whole or absent, never cut short.
    EXPECT_TRUE(name.ends_with(".part") || text == whole.at(name)) << name << " is cut short";
  }

  // The results list: only reports that exist, each marked when its run did not finish.
  const Launched list = Launch(dir, {"--load", c.control}, Out::kPipe);
  std::size_t listed = 0;
  for (std::size_t at = list.output.find("\n  "); at != std::string::npos;
       at = list.output.find("\n  ", at + 1)) {
    const std::string line = list.output.substr(at + 3, list.output.find('\n', at + 1) - at - 3);
    const std::string file = line.substr(24, line.find(' ', 24) - 24);
    EXPECT_TRUE(fs::exists(dir / file)) << line;
    EXPECT_EQ(line.find(kUnfinished) != std::string::npos, !c.finished) << line;
    ++listed;
  }
  EXPECT_GE(listed, 1u) << list.output;
}

TEST(Reliability, HostileSurroundings) {
  const std::string short_report = "Could not write the output ";
  const std::string stopped = "Analysis stopped at the user's request after resample";
  const Out pipe = Out::kPipe;
  // clang-format off
  const Surrounding cases[] = {
      // name, control, standard output, signals, disk KB, status, finished, log, output
      {"a disk of 16 KB under the estimation reports", "first.ctl", pipe, {}, 16, 1, false,
       short_report, "Analysis Aborted"},
      {"a disk of 200 KB under the estimation reports", "first.ctl", pipe, {}, 200, 1, false,
       short_report, "Analysis Aborted"},
      {"a disk of 24 KB under the bootstrap files", "bootstrap.ctl", pipe, {}, 24, 1, false,
       short_report, "Analysis Aborted"},
      {"SIGINT during a bootstrap", "long.ctl", pipe, {SIGINT}, 0, 130, false, stopped,
       "Analysis Aborted"},
      {"SIGTERM during a bootstrap", "long.ctl", pipe, {SIGTERM}, 0, 143, false, stopped,
       "Analysis Aborted"},
      {"a second SIGINT ends at once", "long.ctl", pipe, {SIGINT, SIGINT}, 0, 130, false,
       "Estimates sent to file:", ""},
      {"SIGKILL during a bootstrap", "long.ctl", pipe, {SIGKILL}, 0, -SIGKILL, false,
       "Estimates sent to file:", ""},
      {"standard output a pipe nobody reads", "first.ctl", Out::kPipeWithoutReader, {}, 0, 1,
       true, "", "could not write"},
      {"standard output on a full device", "first.ctl", Out::kFull, {}, 0, 1, true, "",
       "could not write"},
      {"standard input, output and error closed", "first.ctl", Out::kAllClosed, {}, 0, 0, true,
       "", ""},
  };
  // clang-format on
  for (const Surrounding& c : cases) Check(c);
}

}  // namespace
}  // namespace velk::test
