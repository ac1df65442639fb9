#pragma once
// The windowless publisher's own entry in the current user's Run key, beside
// the band's "Nimbrel.exe" (which this never touches): --autostart on with
// the options to start with, --autostart off, and --autostart to show it.
// Only HKEY_CURRENT_USER is ever written.

#include <cstddef>
#include <string>

#include "common/RunKey.h"
#include "publisher/options/PublisherOptions.h"
#include "publisher/output/PublisherOutput.h"

inline constexpr wchar_t kAutostartValueName[] = L"Nimbrel Publisher";
// Windows does not start longer command lines from the Run key.
inline constexpr std::size_t kMaxRunCommandChars = 260;

// strWindowlessExe: the full path of the nimbrel-publisherw.exe to register.
[[nodiscard]] int RunAutostartCommand(const PublisherOptions& options,
                                      const std::wstring& strWindowlessExe,
                                      COutputSink& output) noexcept;
