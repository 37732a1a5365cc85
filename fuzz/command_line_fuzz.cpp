// Any command line decodes to a mode without reading past its end.
#include <cstddef>
#include <cstdint>
#include <string>

#include "shell/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const CommandLine decoded = DecodeCommandLine(line.c_str());
    const int mode = static_cast<int>(decoded.mode);
    if (mode < 1 || mode > 4)
        __builtin_trap();
    ParseWindowNumber(line.c_str());
    return 0;
}
