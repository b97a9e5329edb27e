#pragma once

namespace er::gui {

// Registers the compiled-in images (":/images/..."). The resource library is
// static, so its initialiser has to be pulled in by name from the program and
// from every GUI test.
void initGuiResources();

}  // namespace er::gui
