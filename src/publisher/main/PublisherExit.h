#pragma once
// The publisher's exit codes, the same for both executables.

enum PublisherExit : int {
  kExitOk = 0,
  kExitSourceFailed = 1,  // --once and the source failed
  kExitUsage = 2,
  kExitSourceSetup = 3,  // --once: router unreachable or malformed, adapter missing
  kExitAlreadyRunning = 4,
  kExitSectionFailed = 5,
  kExitNotRunning = 6,       // --stop found no publisher
  kExitAutostartFailed = 7,  // the log-on entry could not be read, written or removed
  kExitNamesTaken = 8,       // another program created the stop event or the mutex first
  kExitStillRunning = 9,     // --stop asked, but the publisher did not end
};
