#pragma once
// Items an administrator has set through Group Policy: a DWORD named after
// the item's id under Software\Policies\Vellumix\Items, read from
// HKEY_LOCAL_MACHINE first, then HKEY_CURRENT_USER. 1 forces the item on, 0
// forces it off; absent (or not a DWORD) leaves it to the user. The program
// never writes there: Group Policy removes the values when it stops applying.

#include <string_view>

enum class TPolicy { NotSet, ForcedOn, ForcedOff };

TPolicy ItemPolicy(std::string_view Id);
