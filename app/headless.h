#pragma once
// The commands galleria runs without a window.

#include <string>
#include <vector>

namespace galleria::app {

// Makes a new project with the default settings holding `photos` in order and saves it to `out`.
int NewProjectCommand(const std::string& out, const std::vector<std::string>& photos);

// Prints a project's photos, music and settings.
int ShowProjectCommand(const std::string& file);

}  // namespace galleria::app
