#pragma once
// `velmora render`: a box shot of a scene file or the default scene, without
// a display, as the main window's render to file makes it.

#include <iosfwd>
#include <string>
#include <vector>

namespace velmora {

// args[0] is "render". Returns the exit status: 0 written, 1 error, 2 usage.
int runRenderCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace velmora
