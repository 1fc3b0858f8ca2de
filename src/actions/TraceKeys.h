#pragma once
// Where the cleared lists live in the registry, below HKEY_CURRENT_USER (and
// for RealPlayer's oldest versions also HKEY_CLASSES_ROOT): shared by the
// operations that clear them and the preview that lists them.

#include <string>

namespace trace_keys {
inline const std::string TypedUrls = "\\Software\\Microsoft\\Internet Explorer\\TypedURLs";
inline const std::string Toolbar = "\\Software\\Google\\NavClient\\";
inline const std::string DelphiClosedFiles = "\\Software\\Borland\\Delphi\\5.0\\Closed Files";
inline const std::string DelphiClosedProjects = "\\Software\\Borland\\Delphi\\5.0\\Closed Projects";
inline const std::string VbRecentFiles = "\\Software\\Microsoft\\Visual Basic\\6.0\\RecentFiles";
inline const std::string VcRecentFiles = "\\Software\\Microsoft\\DevStudio\\6.0\\Recent File List";
inline const std::string RealPlayerPreferences = "\\Software\\RealNetworks\\RealPlayer\\6.0\\Preferences\\";
inline const std::string MediaPlayerFiles = "\\Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList";
inline const std::string MediaPlayerUrls = "\\Software\\Microsoft\\MediaPlayer\\Player\\RecentUrlList";
}  // namespace trace_keys
