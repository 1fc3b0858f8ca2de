#pragma once
// The item families beside the first items: each unit only finds and
// describes what it cleans; the engine below removes it.

#include "catalogue/Catalogue.h"

#include <vector>

// Chrome, Edge, Firefox and the Chromium family (catalogue/Browsers.cpp).
std::vector<TItem> BrowserItems();
// What Windows 10 and 11 keep (catalogue/WindowsTraces.cpp).
std::vector<TItem> WindowsItems();
