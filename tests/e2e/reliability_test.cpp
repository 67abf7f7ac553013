// The velk command in hostile surroundings: a small disk under the reports, the
// tables or an import's files, signals during a bootstrap, standard descriptors
// closed or failing. Each row gives its exit status, leaves its inputs as they
// were and no file that looks finished but is short.
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

namespace velk::test {
namespace {

namespace fs = std::filesystem;

struct Launched {
  int status = -1;  // exit status, or minus the signal that killed it
  std::string output;
};

// Runs velk with `args` (shell words and redirections) in `dir`, standard
// output and error on a pipe read here and descriptor 3 on a pipe that nobody
// reads; each of `signals` is sent once the output shows the bootstrap under way.
Launched Launch(const fs::path& dir, const std::string& args,
                const std::vector<int>& signals = {}) {
  const std::string command = "cd '" + dir.string() + "' && exec '" VELK_BINARY "' " + args;
  int fds[2], unread[2];
  if (pipe(fds) != 0 || pipe(unread) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {  // only calls that are safe after a fork, up to the exec
    dup2(fds[1], 1);
    dup2(fds[1], 2);
    dup2(unread[1], 3);
    close(unread[0]);
    execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
    _exit(127);
  }
  for (int fd : {fds[1], unread[0], unread[1]}) close(fd);
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

// A fresh copy of the examples' inputs (never the logs and reports an earlier
// run left beside them) with "long.ctl", a bootstrap long enough to be under way
// when a signal comes, "tables.ctl", the estimation with its tables, and
// "geno.csv", genotypes to import.
void CopyExamples(const fs::path& dir) {
  for (const char* name : {"first.ctl", "simulate.ctl", "bootstrap.ctl", "example.bse",
                           "complete.bse", "example.mix"})
    fs::copy_file(fs::path(VELK_SOURCE_DIR) / "examples" / name, dir / name);
  std::string text = ReadFile(dir / "bootstrap.ctl");
  text.replace(text.find("resamples: 200"), 14, "resamples: 1000000");
  WriteFile(dir / "long.ctl", text);
  text = ReadFile(dir / "first.ctl");
  text.replace(text.find("* Options\n"), 10, "* Options\nPrint tables: yes\n");
  WriteFile(dir / "tables.ctl", text);
  WriteFile(dir / "geno.csv",
            "sample_type,repunit,collection,indiv,A,A.1,B,B.1\nreference,N,Up,u1,A,C,120,124\n"
            "reference,S,Low,l1,A,A,124,128\nmixture,NA,catch,m1,A,C,120,128\n");
}

// The files of a folder by name, as text.
std::map<std::string, std::string> Contents(const fs::path& folder) {
  std::map<std::string, std::string> files;
  if (fs::is_directory(folder))
    for (const auto& e : fs::directory_iterator(folder))
      files[e.path().filename().string()] = ReadFile(e.path());
  return files;
}

struct Surrounding {
  const char* name;
  std::string args;
  std::vector<int> signals;  // sent once the bootstrap is under way
  int disk_kb;               // > 0: out/ is a tmpfs of this size (root only)
  int status;                // the exit status (minus a killing signal)
  std::string log;           // a piece of the log; "-": finished ("Analysis Complete")
  std::string said;          // a piece of standard output or error
  const char* kept = nullptr;  // a report of out/ there before, mode 444: left as it was
};

void Check(const Surrounding& c) {
  SCOPED_TRACE(c.name);
  TempDir tmp;
  const fs::path& dir = tmp.Path();
  CopyExamples(dir);
  const std::map<std::string, std::string> inputs = Contents(dir);
  fs::create_directories(dir / "out");
  if (c.kept) {
    WriteFile(dir / "out" / c.kept, "an archived report\n");
    fs::permissions(dir / "out" / c.kept, fs::perms::owner_read | fs::perms::group_read |
                                              fs::perms::others_read);
  }
  const std::string size = "size=" + std::to_string(c.disk_kb) + "k";
  if (c.disk_kb > 0 && mount("tmpfs", (dir / "out").c_str(), "tmpfs", 0, size.c_str()) != 0) {
    std::printf("  [ skipped ] %s: no tmpfs can be mounted (not root)\n", c.name);
    return;
  }
  const Launched r = Launch(dir, c.args, c.signals);
  const std::map<std::string, std::string> made = Contents(dir / "out");
  EXPECT_EQ(r.status, c.status) << r.output;
  EXPECT_NE(r.output.find(c.said), std::string::npos) << r.output;
  for (const auto& [name, text] : inputs)
    EXPECT_TRUE(!fs::is_regular_file(dir / name) || ReadFile(dir / name) == text) << name;
  const bool killed = c.status < 0 || c.signals.size() > 1, import = c.args.starts_with("import");
  EXPECT_TRUE(!c.kept || ReadFile(dir / "out" / c.kept) == "an archived report\n");
  for (const auto& [name, text] : made)
    EXPECT_FALSE((import && c.disk_kb > 0) || (!killed && name.ends_with(".part"))) << name;

  const bool finished = c.log == "-";
  const std::string log = ReadFile(dir / (c.args.substr(0, c.args.find('.')) + ".log"));
  // The log is the run's own: its first entry names it, never a status line.
  EXPECT_TRUE(import || log.starts_with("\n *** Note: VELK program.\n")) << log;
  EXPECT_TRUE(import || log.find(finished ? "" : c.log) != std::string::npos) << log;
  EXPECT_TRUE(import || killed ||
              log.ends_with(finished ? "\n Analysis Complete\n" : "\n Analysis Aborted\n"));
  // The results list: only files that exist, each marked when its run did not finish.
  const Launched list = Launch(dir, "--load " + c.args.substr(0, c.args.find(' ')));
  for (std::size_t at = list.output.find("\n  "); !import && at != std::string::npos;
       at = list.output.find("\n  ", at + 1)) {
    const std::string line = list.output.substr(at + 3, list.output.find('\n', at + 1) - at - 3);
    EXPECT_TRUE(fs::exists(dir / line.substr(24, line.find(' ', 24) - 24))) << line;
    EXPECT_EQ(line.find("(its run did not finish)") == std::string::npos, finished) << line;
  }
  if (c.disk_kb == 0) return;
  // What the small disk holds is whole: the bytes of an undisturbed run.
  umount2((dir / "out").c_str(), MNT_DETACH);
  Launch(dir, c.args);
  for (const auto& [name, text] : made) EXPECT_EQ(ReadFile(dir / "out" / name), text) << name;
}

TEST(Reliability, HostileSurroundings) {
  const std::string cut = "Could not write the output ", aborted = "Analysis Aborted";
  const std::string stopped = "Analysis stopped at the user's request after resample";
  // clang-format off
  const Surrounding cases[] = {
      // name, arguments, signals, disk KB, status, log, output
      {"16 KB under the estimation reports", "first.ctl", {}, 16, 1, cut, aborted},
      {"24 KB under the bootstrap files", "bootstrap.ctl", {}, 24, 1, cut, aborted},
      {"48 KB under the tables", "tables.ctl", {}, 48, 1, cut + "Individuals table", aborted},
      {"16 KB under an import's files", "import --out out/fish geno.csv", {}, 16, 1, "",
       "error 2540: Cannot write out/fish"},
      {"an import's summary on a full device", "import --out out/fish geno.csv >/dev/full", {},
       0, 1, "", "could not write"},
      {"SIGINT during a bootstrap", "long.ctl", {SIGINT}, 0, 130, stopped, aborted},
      {"SIGTERM during a bootstrap", "long.ctl", {SIGTERM}, 0, 143, stopped, aborted},
      {"a second SIGINT ends at once", "long.ctl", {SIGINT, SIGINT}, 0, 130, "Estimates sent", ""},
      {"SIGKILL during a bootstrap", "long.ctl", {SIGKILL}, 0, -SIGKILL, "Estimates sent", ""},
      {"standard output a pipe nobody reads", "first.ctl >&3", {}, 0, 1, "-", "could not write"},
      {"standard output on a full device", "first.ctl >/dev/full", {}, 0, 1, "-",
       "could not write"},
      {"standard input, output and error closed", "first.ctl <&- >&- 2>&-", {}, 0, 0, "-", ""},
      {"a protected report", "first.ctl", {}, 0, 1, "Could not open the output Estimates file",
       aborted, "first.est"},
      {"a protected table", "tables.ctl", {}, 0, 1, "Could not open the output Estimates table",
       aborted, "first.estimates.csv"},
  };
  // clang-format on
  for (const Surrounding& c : cases) Check(c);
}

}  // namespace
}  // namespace velk::test
