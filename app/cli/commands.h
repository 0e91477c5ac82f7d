#pragma once
// The commands galleria runs without a window. Each takes the arguments after its own name and
// returns the process's exit status; failures throw GalleriaError with the text to show.

#include <string>
#include <vector>

namespace galleria::cli {

// PROJECT.qmvk [--template TYPE] [--size WxH] [--music FILE]... PHOTO...
int NewCommand(const std::vector<std::string>& args);
// PROJECT.qmvk
int ShowCommand(const std::vector<std::string>& args);
// swf|exe|html|scr|email|preview --output PATH PROJECT.qmvk
int PublishCommand(const std::vector<std::string>& args);

}  // namespace galleria::cli
