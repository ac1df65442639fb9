#pragma once
// The publisher's program body, shared by the console executable and the
// windowless one: the same options, the same --stop, the same exit codes.
// Only where the lines go differs (the sink).

#include <string_view>
#include <vector>

#include "PublisherOutput.h"

// Arguments without the program name.
[[nodiscard]] int PublisherMain(const std::vector<std::wstring_view>& args,
                                COutputSink& output) noexcept;
