// The velk command: runs control files one after another, printing the status
// text of each run as it grows.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli_platform.hpp"
#include "import_command.hpp"
#include "signals.hpp"
#include "core/paths.hpp"
#include "core/reports.hpp"
#include "run/velk.hpp"
#include "velk_version.hpp"

namespace {

constexpr const char* kUsage =
    "Usage: velk [options] FILE.ctl...\n"
    "       velk import [--format table|genepop] [--mixture FILE] [--regions FILE]\n"
    "                   [--collections A,B] [--check] --out DIR/NAME FILE\n"
    "\n"
    "Runs each control file in turn and prints its status text as it grows.\n"
    "velk import turns individual genotypes into a ready analysis (velk import --help).\n"
    "\n"
    "Options:\n"
    "  --load           load the results list only: read each control file, compute\n"
    "                   nothing and report which report files exist (default: off)\n"
    "  --check          read each control file and print the analysis description it\n"
    "                   gives, without reading data or writing a log (default: off)\n"
    "  --show-messages  also write the message-box text of a stopping message to\n"
    "                   standard error; a run without a log (none could be made,\n"
    "                   --check, --load) always writes it (default: off)\n"
    "  --quiet          print nothing but errors (default: off)\n"
    "  --threads N      estimate the resamples of a simulation or bootstrap on N\n"
    "                   threads; the reports are the same for every N (default: 0,\n"
    "                   one per core)\n"
    "  --help           show this help and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "Exit status: 0 when every run ends \"Analysis Complete\" or \"Results List Loaded\",\n"
    "1 when any run is aborted or standard output cannot be written, 2 for a usage\n"
    "error, 130 or 143 when SIGINT or SIGTERM stopped the run (a second one ends\n"
    "the program at once).\n";

}  // namespace

int main(int argc, char** argv) {
  velk::OpenStandardDescriptors();
  if (argc > 1 && std::strcmp(argv[1], "import") == 0) {
    // A closed standard output fails the summary's writes rather than ending the command.
    std::signal(SIGPIPE, SIG_IGN);
    return velk::ImportCommand(argc - 1, argv + 1);
  }
  bool load = false, check = false, show = false, quiet = false;
  int threads = 0;
  std::vector<std::string> files;
  bool options_done = false;
  for (int k = 1; k < argc; ++k) {
    std::string a = argv[k];
    if (!options_done && a.size() > 1 && a[0] == '-') {
      if (a == "--")
        options_done = true;
      else if (a == "--load")
        load = true;
      else if (a == "--check")
        check = true;
      else if (a == "--show-messages")
        show = true;
      else if (a == "--quiet")
        quiet = true;
      else if (a == "--threads" || a.rfind("--threads=", 0) == 0) {
        std::string value;
        if (a == "--threads") {
          if (k + 1 >= argc) {
            std::fprintf(stderr, "velk: --threads needs a number\n\n%s", kUsage);
            return 2;
          }
          value = argv[++k];
        } else {
          value = a.substr(std::strlen("--threads="));
        }
        char* end = nullptr;
        const long n = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || n < 0 || n > 1024) {
          std::fprintf(stderr, "velk: --threads wants a number from 0 to 1024, not %s\n\n%s",
                       value.c_str(), kUsage);
          return 2;
        }
        threads = static_cast<int>(n);
      } else if (a == "--help" || a == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
      } else if (a == "--version") {
        std::printf("velk %s\n", VELK_VERSION);
        return 0;
      } else {
        std::fprintf(stderr, "velk: unknown option %s\n\n%s", a.c_str(), kUsage);
        return 2;
      }
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "velk: no control file given\n\n%s", kUsage);
    return 2;
  }
  if (load && check) {
    std::fprintf(stderr, "velk: --load and --check cannot be combined\n");
    return 2;
  }

  velk::Process process;
  velk::CliPlatform platform(stdout, quiet ? false : true, isatty(fileno(stdout)) != 0);
  std::atomic<bool> stop{false};
  velk::InstallStopSignals(stop);
  int rc = 0;
  for (const std::string& file : files) {
    if (stop.load()) break;
    velk::Request req;
    req.stop_request = &stop;
    req.control_file = file;
    req.load_only = load;
    req.check_only = check;
    req.show_messages = show;
    req.threads = threads;
    platform.BeginRun();
    velk::Outcome out = velk::Velk(process, platform, req);
    platform.EndRun();
    if (check && !out.description.empty() && !quiet) std::fputs(out.description.c_str(), stdout);
    if (load && !out.aborted && !quiet) {
      // The results list: the reports an earlier run of this control file left.
      std::string log = velk::LogName(velk::NativeName(file));
      for (int slot = 0; slot < velk::kResultSlots; ++slot) {
        const bool table = slot >= velk::kReportSlots;
        const auto k = static_cast<std::size_t>(table ? slot - velk::kReportSlots : slot);
        const auto& entry = table ? velk::kTableFiles[k] : velk::kReportTable[k];
        const bool unfinished = out.unfinished[static_cast<std::size_t>(slot)] != 0;
        if ((table ? out.table_flags[k] : out.flags[k]) && !entry.menu_entry.empty())
          std::printf("  %-24s%s%s\n", std::string(entry.menu_entry).c_str(),
                      velk::ReportFile(slot, log, out.output_base).c_str(),
                      unfinished ? "   (its run did not finish)" : "");
      }
    }
    if (out.aborted) rc = 1;
  }
  if (const int sig = velk::StopSignal()) return 128 + sig;
  if (platform.Failed() || std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fputs("velk: could not write to standard output\n", stderr);
    return 1;
  }
  return rc;
}
