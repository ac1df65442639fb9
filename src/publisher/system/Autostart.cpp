#include "publisher/system/Autostart.h"

#include <windows.h>

#include <string_view>
#include <vector>

#include "publisher/options/CommandLineQuoting.h"
#include "publisher/main/PublisherExit.h"
#include "publisher/options/CommandLineSplitting.h"
#include "publisher/system/SystemMessage.h"
#include "common/RegistryKey.h"

namespace {

constexpr wchar_t kPrefix[] = L"nimbrel-publisher: ";
// More than any entry this program writes; a longer value is not ours.
constexpr DWORD kMaxEntryChars = 2048;

enum class EntryState { Missing, Present, Unreadable, RunKeyUnreadable };

struct AutostartEntry {
  EntryState m_state = EntryState::Missing;
  std::wstring m_strCommand;
  DWORD m_dwError = ERROR_SUCCESS;
};

std::wstring RunKeyName() { return std::wstring(L"HKEY_CURRENT_USER\\") + kRunKeyPath; }

AutostartEntry ReadAutostartEntry() {
  AutostartEntry entry;
  CRegistryKey key;
  const LSTATUS opened = key.OpenStatus(HKEY_CURRENT_USER, kRunKeyPath, KEY_QUERY_VALUE);
  // No Run key at all: nothing starts at log-on.
  if (opened == ERROR_FILE_NOT_FOUND) {
    return entry;
  }
  if (opened != ERROR_SUCCESS) {
    entry.m_state = EntryState::RunKeyUnreadable;
    entry.m_dwError = static_cast<DWORD>(opened);
    return entry;
  }
  std::vector<wchar_t> buffer(kMaxEntryChars + 1, L'\0');
  DWORD dwType = REG_NONE;
  DWORD cbData = kMaxEntryChars * sizeof(wchar_t);
  const LSTATUS status = key.QueryBytes(kAutostartValueName, buffer.data(), cbData, &dwType);
  if (status == ERROR_FILE_NOT_FOUND) {
    return entry;
  }
  if (status != ERROR_SUCCESS || (dwType != REG_SZ && dwType != REG_EXPAND_SZ)) {
    entry.m_state = EntryState::Unreadable;
    entry.m_dwError = status != ERROR_SUCCESS ? static_cast<DWORD>(status) : ERROR_INVALID_DATA;
    return entry;
  }
  // The stored value need not end in a NUL, nor stop at its first one.
  const std::wstring_view stored(buffer.data(), cbData / sizeof(wchar_t));
  entry.m_state = EntryState::Present;
  entry.m_strCommand = stored.substr(0, stored.find(L'\0'));
  return entry;
}

// The program an entry would start, as Windows splits the command line.
std::wstring ProgramOf(const std::wstring& strCommand) {
  const std::vector<std::wstring> args = SplitCommandLine(strCommand.c_str());
  return args.empty() ? std::wstring() : args.front();
}

bool IsFile(const std::wstring& strPath) {
  const DWORD dwAttributes = GetFileAttributesW(strPath.c_str());
  return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

int ShowAutostart(COutputSink& output) {
  const AutostartEntry entry = ReadAutostartEntry();
  switch (entry.m_state) {
    case EntryState::Missing:
      output.Line(std::wstring(kPrefix) + L"does not start at log-on");
      return kExitOk;
    case EntryState::Unreadable:
      output.Error(std::wstring(kPrefix) + L"the log-on entry '" + kAutostartValueName +
                   L"' is there but cannot be read (" + SystemMessage(entry.m_dwError) +
                   L"); --autostart off removes it");
      return kExitAutostartFailed;
    case EntryState::RunKeyUnreadable:
      output.Error(std::wstring(kPrefix) + L"cannot read what starts at log-on: " + RunKeyName() +
                   L" cannot be opened (" + SystemMessage(entry.m_dwError) + L")");
      return kExitAutostartFailed;
    case EntryState::Present:
      break;
  }
  output.Line(std::wstring(kPrefix) + L"starts at log-on as: " + entry.m_strCommand);
  const std::wstring strProgram = ProgramOf(entry.m_strCommand);
  if (!IsFile(strProgram)) {
    output.Error(std::wstring(kPrefix) + L"but '" + strProgram +
                 L"' is not there any more; run --autostart on again from where Nimbrel is now");
  }
  return kExitOk;
}

int EnableAutostart(const PublisherOptions& options, const std::wstring& strWindowlessExe,
                    COutputSink& output) {
  const std::wstring strCommand = BuildCommandLine(strWindowlessExe, options.m_autostartArgs);
  if (!IsFile(strWindowlessExe)) {
    output.Error(std::wstring(kPrefix) + L"cannot set up the start at log-on: '" +
                 strWindowlessExe + L"' is missing (it belongs next to this program)");
    return kExitAutostartFailed;
  }
  if (strCommand.size() > kMaxRunCommandChars) {
    output.Error(std::wstring(kPrefix) + L"cannot set up the start at log-on: the command line " +
                 L"would be " + std::to_wstring(strCommand.size()) +
                 L" characters, and Windows starts at most " +
                 std::to_wstring(kMaxRunCommandChars) +
                 L" from there; put Nimbrel in a shorter path or give fewer options");
    return kExitAutostartFailed;
  }
  CRegistryKey key;
  const LSTATUS opened = key.CreateStatus(HKEY_CURRENT_USER, kRunKeyPath, KEY_SET_VALUE);
  if (opened != ERROR_SUCCESS) {
    output.Error(std::wstring(kPrefix) + L"cannot write the log-on entry: " + RunKeyName() +
                 L" cannot be opened or created (" + SystemMessage(static_cast<DWORD>(opened)) +
                 L")");
    return kExitAutostartFailed;
  }
  const LSTATUS status = key.SetString(kAutostartValueName, strCommand);
  if (status != ERROR_SUCCESS) {
    output.Error(std::wstring(kPrefix) + L"cannot write the log-on entry (" +
                 SystemMessage(static_cast<DWORD>(status)) + L")");
    return kExitAutostartFailed;
  }
  output.Line(std::wstring(kPrefix) + L"starts at log-on as: " + strCommand);
  output.Line(std::wstring(kPrefix) +
              L"to start it now as well, run that same line (Win+R); --stop ends it");
  return kExitOk;
}

int DisableAutostart(COutputSink& output) {
  CRegistryKey key;
  const LSTATUS opened = key.OpenStatus(HKEY_CURRENT_USER, kRunKeyPath, KEY_SET_VALUE);
  if (opened != ERROR_SUCCESS && opened != ERROR_FILE_NOT_FOUND) {
    output.Error(std::wstring(kPrefix) + L"cannot remove the log-on entry: " + RunKeyName() +
                 L" cannot be opened (" + SystemMessage(static_cast<DWORD>(opened)) + L")");
    return kExitAutostartFailed;
  }
  // No Run key at all: there is no entry to remove.
  const LSTATUS status = opened == ERROR_SUCCESS ? key.DeleteValue(kAutostartValueName) : opened;
  if (status == ERROR_FILE_NOT_FOUND) {
    output.Line(std::wstring(kPrefix) + L"was not set to start at log-on");
    return kExitOk;
  }
  if (status != ERROR_SUCCESS) {
    output.Error(std::wstring(kPrefix) + L"cannot remove the log-on entry (" +
                 SystemMessage(static_cast<DWORD>(status)) + L")");
    return kExitAutostartFailed;
  }
  output.Line(std::wstring(kPrefix) +
              L"no longer starts at log-on (one that is running keeps running; --stop ends it)");
  return kExitOk;
}

}  // namespace

int RunAutostartCommand(const PublisherOptions& options, const std::wstring& strWindowlessExe,
                        COutputSink& output) noexcept {
  switch (options.m_autostart) {
    case AutostartAction::On:
      return EnableAutostart(options, strWindowlessExe, output);
    case AutostartAction::Off:
      return DisableAutostart(output);
    case AutostartAction::Show:
    case AutostartAction::None:
      break;
  }
  return ShowAutostart(output);
}
