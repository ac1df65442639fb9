#pragma once
// The publisher's program body, shared by the console executable and the
// windowless one: the same options, the same --stop, the same exit codes.
// Only where the lines go differs (the sink).

#include "publisher/options/PublisherOptions.h"
#include "publisher/output/PublisherOutput.h"

// The entry point parses the command line first: what it finds decides
// where the windowless publisher's log goes.
[[nodiscard]] int PublisherMain(const ParseResult& parsed, COutputSink& output) noexcept;
