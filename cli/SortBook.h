#pragma once
#include <string>

// `torvikalen --sort IN OUT`: opens a book as the window does (rows in name order) and saves
// it as the window does, without showing a window. Returns the exit status; errors go to
// standard error in Spanish.
int SortBook(const std::string& in, const std::string& out);
