#pragma once

namespace veldrano::test {

// Makes the process's one QApplication the first time it is called (any later call, from
// any test file, finds it); widget tests call it before touching a widget.
void EnsureQApplication();

} // namespace veldrano::test
