// tools/replay_command.h -- quorvane-sim --replay.
#pragma once

#include <string>

// Replays the recording at path and prints its timeline; pictures go to the folder when it is
// not "". With salvage, a damaged file's sound blocks are replayed. The tool's exit code.
int RunReplay(const std::string& path, const std::string& pictures, bool salvage);
