#pragma once
#include <memory>

class PlatformServices;
class TForm1;

// Creates the program's windows in start-up order: the main window (which runs its creation
// step), then the add, modify, search, send-mail dialogs and the about box, all hidden.
std::unique_ptr<TForm1> CreateApplicationWindows(PlatformServices& platform);
