#pragma once
// The settings object: twenty switches cached from HKCU\<KeyPath>. Changing a
// member never touches the registry; only Load, Save and WriteDefaults do.

#include <string>

class TOption {
public:
  ~TOption() { KeyPath.clear(); }

  std::string KeyPath;

  bool Autorun = false;
  bool MinRun = false;
  bool ShowTrayIconOnly = false;
  bool GradientMenu = false;
  bool DelInetTemp = false;
  bool DelCookie = false;
  bool DelHistory = false;
  bool DelLocationBar = false;
  bool DelInternetCache = false;  // kept for stored settings only; nothing acts on it
  bool DelGoogleHistory = false;
  bool ClearRecentDoc = false;
  bool ClearDelphiRecentDoc = false;
  bool ClearVbRecentDoc = false;
  bool ClearVcRecentDoc = false;
  bool ClearRlpRecentDoc = false;
  bool ClearWmpRecentDoc = false;
  bool EmptyRecycleBin = false;
  bool EjectCdrom = false;
  bool DelTempFiles = false;
  bool KeepTempFiles = false;

  // Reads the switches in a fixed order; the first missing or non-DWORD value
  // ends the load, and then DelGoogleHistory and GradientMenu are forced off and
  // KeepTempFiles on. Members read before the failure keep what was read.
  void Load();
  // Writes all switches; a failed write raises ERegistryException.
  void Save();
  // First-run values: every switch from the members (all false on a fresh
  // object) but KeepTempFiles 1 and GradientMenu 0; the schedule off; ConfirmShredAll 1.
  void WriteDefaults();
};
