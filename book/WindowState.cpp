#include "book/WindowState.h"

namespace veldrano {

int IndiceElegido = 0;
int NumCopiados = 0;

} // namespace veldrano
