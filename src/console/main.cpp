// designopt: designs one air grille after another at minimum production cost.
#include "console/design_console.h"

int main() { return designopt::runDesignConsole(); }
