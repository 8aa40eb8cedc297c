#pragma once
// One fuzz target: runs one input through a reader and says what came of it,
// "ok" or the message of the error it gave. The name is that of the file the
// input came from when there is one (the picture target reads the extension
// from it), empty while fuzzing.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

std::string velmoraFuzzRun(std::span<const std::uint8_t> data, const std::string& fileName);

// libFuzzer's entry point; errors are expected outcomes, anything else (a
// crash, a sanitizer report, a hang, a blow-up of memory) is a finding.
#define VELMORA_FUZZ_ENTRY                                                                                             \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)                                  \
    {                                                                                                                  \
        velmoraFuzzRun(std::span<const std::uint8_t>(data, size), std::string());                                      \
        return 0;                                                                                                      \
    }
