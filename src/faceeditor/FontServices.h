#pragma once
// Text needs the toolkit's font services; without a running application
// (command line, tests) one without a display is started on first use.

namespace velmora {

void ensureFontServices();

} // namespace velmora
