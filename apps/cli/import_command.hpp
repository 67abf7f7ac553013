#pragma once
// The "velk import" subcommand: its options, its messages and its exit status.
namespace velk {

// argv[0] is "import". Returns the exit status: 0 written (or checked), 1 a
// check failed, 2 a usage error.
int ImportCommand(int argc, char** argv);

}  // namespace velk
