// velmora_idle: a program of velmora's kind that does nothing. It loads the library and
// the C++ runtime as velmora does, runs their start-up, and exits: beside the inventory
// tools it shows what starting such a process costs on this machine, which no whole
// inventory can go below.
#include "base/String.h"

int main(int argc, char**) {
    // Never taken: it keeps the library one the program needs without calling into it.
    return argc > 1000 ? static_cast<int>(velmora::FromAscii("x").size()) : 0;
}
