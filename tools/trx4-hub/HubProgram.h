#pragma once

// The program behind trx4-hub and trx4-exporter, which is the hub without
// served ports: the exporter's name, options and defaults are kept for the
// installed systems that start it.
enum class HubProgramKind { hub, exporter };

// Parses the command line and runs until SIGINT or SIGTERM; the exit code:
// 0, 1 when it could not run, 2 on a command-line error.
int runHubProgram(int argc, char** argv, HubProgramKind kind);
