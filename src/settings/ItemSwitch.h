#pragma once
// The switches of the items without a setting of their own (the browsers',
// Windows'): a DWORD named after the item's id under
// HKEY_CURRENT_USER\Software\Vellumix\Items. Absent, or not a DWORD, is off.

#include <string_view>

bool StoredItemSwitch(std::string_view Id);
// Raises ERegistryException when the value cannot be written.
void StoreItemSwitch(std::string_view Id, bool On);
