#pragma once
// Fixture files and Linux paths for tests under Wine.

#include <windows.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The settings' switches. The settings object stops reading at the first one
// missing, so a test that sets one sets them all.
inline constexpr const char* SettingSwitches[] = {
    "DelInetTemp", "DelCookie", "DelHistory", "DelLocationBar", "DelInternetCache",
    "DelGoogleHistory", "ClearRecentDoc", "ClearDelphiRecentDoc", "ClearVbRecentDoc",
    "ClearVcRecentDoc", "ClearRlpRecentDoc", "ClearWmpRecentDoc", "DelTempFiles", "KeepTempFiles",
    "EmptyRecycleBin", "Autorun", "MinRun", "ShowTrayIconOnly", "GradientMenu", "EjectCdrom"};

// A Linux path as Wine's Z: drive shows it.
std::string DosPath(std::string_view UnixPath);
// A path below the throwaway HOME of the test run, through Z:.
std::string HomePath(std::string_view Relative);
// A file of tests/fixtures.
std::string FixturePath(std::string_view Name);

// Imports a .reg file of tests/fixtures with the system's regedit, silently.
void ImportRegFile(std::string_view Name);

// Registry keys that a test creates in places the program insists on (other
// applications' keys). Deletes them, with everything below, when created and
// when destroyed. Only for keys that a fresh test prefix does not have.
class TScratchKeys {
public:
  TScratchKeys(std::initializer_list<std::pair<HKEY, std::string>> Keys);
  ~TScratchKeys();
  TScratchKeys(const TScratchKeys&) = delete;
  TScratchKeys& operator=(const TScratchKeys&) = delete;

private:
  void DeleteAll() const;
  std::vector<std::pair<HKEY, std::string>> FKeys;
};

// Sets an environment variable of this process (and so of the programs it
// starts) until destroyed.
class TEnvVar {
public:
  TEnvVar(const char* Name, const std::string& Value);
  ~TEnvVar();
  TEnvVar(const TEnvVar&) = delete;
  TEnvVar& operator=(const TEnvVar&) = delete;

private:
  const char* FName;
  bool FHad = false;
  std::string FOld;
};
