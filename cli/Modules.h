#pragma once

// The program's parts that need large libraries (the window: the toolkit's widgets; the sync:
// HTTP and XML) are modules loaded only by the commands that use them, so the others start
// with the toolkit's core alone.

// The function `symbol` of the module `fileName` (next to the program in the build tree,
// in the install's module folder otherwise); nullptr after saying why on standard error.
void* ModuleFunction(const char* fileName, const char* symbol);
