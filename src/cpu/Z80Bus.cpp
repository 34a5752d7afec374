#include "cpu/Z80Bus.h"

thread_local constinit CZ80Bus* g_CurrentBoard = nullptr;
