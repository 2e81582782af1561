#include "System.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

uint32_t GetTickCount()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void ExitProcess(int code)
{
    std::fflush(nullptr);
    std::_Exit(code);
}
