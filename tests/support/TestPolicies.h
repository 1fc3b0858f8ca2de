#pragma once
// An administrator's policies for one test, without touching the machine's:
// HKEY_LOCAL_MACHINE is redirected to HKCU\<test key>\Machine while it lives,
// and, when asked, HKEY_CURRENT_USER to HKCU\<test key>\User (a test that has
// redirected HKCU itself already keeps the user's policies apart).

#include "support/TestKey.h"

#include <windows.h>

#include <cstdint>
#include <string>

class TTestPolicies {
public:
  explicit TTestPolicies(const TTestKey& Key, bool RedirectUser = true);
  ~TTestPolicies();
  TTestPolicies(const TTestPolicies&) = delete;
  TTestPolicies& operator=(const TTestPolicies&) = delete;

  // Root: HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER; Name below
  // Software\Policies\Vellumix ("Items\ie.cache", "LockSelection").
  void SetDword(HKEY Root, const std::string& Name, std::uint32_t Data) const;
  void SetString(HKEY Root, const std::string& Name, const std::string& Data) const;

private:
  void Set(HKEY Root, const std::string& Name, DWORD Type, const void* Data, DWORD Size) const;
  HKEY FMachine = nullptr;
  HKEY FUser = nullptr;
};
