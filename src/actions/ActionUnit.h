#pragma once
// The action object: one operation per kind of trace, and the result log that
// the main window shows. Every operation runs on the main thread.
//
// Each cleaning operation takes its item's switch, does nothing when it is
// false, and otherwise adds one line to the log: its success sentence, or the
// sentence of the failure it met. Failures it does not expect pass to the caller.

#include "base/Exception.h"
#include "engine/Tally.h"
#include "win/Handle.h"

#include <windows.h>
#include <mmsystem.h>
#include <objbase.h>

#include <deque>
#include <string>
#include <string_view>

class TIECache;

// A registry key to be cleared could not be opened. Message: "Can't open " + path.
DECLARE_EXCEPTION(EOpenRegErrors, Exception);

// Internet Explorer's URL history store, as Windows publishes it. Only
// ClearHistory is called; the other methods are here for the layout.
struct IUrlHistoryStg : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE AddUrl(LPCOLESTR Url, LPCOLESTR Title, DWORD Flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteUrl(LPCOLESTR Url, DWORD Flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryUrl(LPCOLESTR Url, DWORD Flags, void* StatUrl) = 0;
  virtual HRESULT STDMETHODCALLTYPE BindToObject(LPCOLESTR Url, REFIID Iid, void** Object) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumUrls(IUnknown** Enum) = 0;
};

struct IUrlHistoryStg2 : IUrlHistoryStg {
  virtual HRESULT STDMETHODCALLTYPE AddUrlAndNotify(LPCOLESTR Url, LPCOLESTR Title, DWORD Flags,
                                                    BOOL WriteHistory, IUnknown* Notify,
                                                    IUnknown* ShellFolder) = 0;
  virtual HRESULT STDMETHODCALLTYPE ClearHistory() = 0;
};

constexpr IID IID_UrlHistoryStg = {0x3C374A41, 0xBAE4, 0x11CF, {0xBF, 0x7D, 0x00, 0xAA, 0x00, 0x69, 0x46, 0xEE}};
constexpr IID IID_UrlHistoryStg2 = {0xAFA0DC11, 0xC313, 0x11D0, {0x83, 0x1A, 0x00, 0xC0, 0x4F, 0xD5, 0xAE, 0x38}};
// The class of Internet Explorer's URL history store.
constexpr CLSID CLSID_UrlHistory = {0x3C374A40, 0xBAE4, 0x11CF, {0xBF, 0x7D, 0x00, 0xAA, 0x00, 0x69, 0x46, 0xEE}};

// The two MCI functions the CD tray operation calls: winmm's in the program
// (loaded from the system folder at the first call; without it, sending fails
// with MCIERR_CANNOT_LOAD_DRIVER), a fake in tests (Wine's CD audio device
// answers every command with success).
struct TMciApi {
  decltype(&::mciSendStringA) SendString = nullptr;
  decltype(&::mciGetErrorStringA) GetErrorString = nullptr;
};
TMciApi SystemMci() noexcept;

// Obtains Internet Explorer's history store (CoCreateInstance of
// CLSID_UrlHistory, then IUrlHistoryStg2). COM must be initialised on the
// calling thread.
using TUrlHistoryFactory = HRESULT (*)(IUrlHistoryStg2** Store) noexcept;
HRESULT SystemUrlHistory(IUrlHistoryStg2** Store) noexcept;

namespace action_detail {
inline void ReleaseInterface(IUrlHistoryStg2* Interface) noexcept { Interface->Release(); }
}  // namespace action_detail
using TUrlHistoryRef =
    TUnique<handle_traits::NullIsInvalid<IUrlHistoryStg2*, action_detail::ReleaseInterface>>;

class TAction {
public:
  // The log, newest line first.
  std::deque<std::string> Messages;
  // What the operations removed since the window last took the count (the
  // summary line of a run or command).
  TTally Tally;

  // The main window's URL-cache enumerator (myIECache), set by the main window
  // after creating both. While it is null the cache and cookie operations log
  // their failure sentences.
  TIECache* IECache = nullptr;
  // The MCI functions EjectCdromTray uses.
  TMciApi Mci = SystemMci();
  // Where DeleteHistory gets the history store from (Wine's store implements
  // none of its methods, so tests give one of their own).
  TUrlHistoryFactory HistoryStore = SystemUrlHistory;

  // Inserts "<time> <Msg> <Detail> " at the top of the log.
  bool AddMessage(const std::string& Msg, const std::string& Detail);
  // An operation that failed: its line, and one entry that stayed in the count.
  void AddFailure(const std::string& Msg);
  // Keeps the 26 newest lines.
  void TrimMessages();

  // Deletes every value (not the subkeys) of Root\Path. Does nothing when
  // Enabled is false; raises EOpenRegErrors when the key cannot be opened.
  bool ClearKeyValues(HKEY Root, const std::string& Path, bool Enabled);

  // Recent-document lists.
  void ClearRecentDocuments(bool Enabled);
  void ClearDelphiRecent(bool Enabled);
  void ClearVbRecent(bool Enabled);
  void ClearVcRecent(bool Enabled);
  void ClearRealPlayerClips(bool Enabled);
  void ClearMediaPlayerClips(bool Enabled);

  // Browser traces. DeleteHistory needs COM initialised on the calling thread;
  // the history store it obtains is held until the next call or destruction,
  // so the object must go before COM is uninitialised.
  void DeleteCache(bool Enabled);
  void DeleteHistory(bool Enabled);
  void DeleteCookies(bool Enabled);
  void DeleteLocationBar(bool Enabled);
  void ClearToolbarHistory(bool Enabled);
  IUrlHistoryStg2* UrlHistory() const noexcept { return FUrlHistory.get(); }

  // System items.
  void ClearRecycleBin(bool Enabled);
  // True when some drive A: to Z: is a CD-ROM drive with a disc in it.
  bool HasCdromWithDisc();
  void EjectCdromTray(bool Enabled);

private:
  TUrlHistoryRef FUrlHistory;
};

// The failure line of ClearRecentDocuments for a system error code: the system's
// text (trailing blanks, control characters and full stops cut) and the request
// to report it, with the full-width colon and comma of code page 936.
std::string RecentDocumentsFailure(DWORD ErrorCode);

// True when one of the given drive letters is a CD-ROM drive with a disc in it.
// Asks no system dialog about a drive that is not ready.
bool AnyCdromWithDisc(std::string_view DriveLetters);

// The command line registered to start the program with Windows: the program's
// path, quoted when it holds a blank, and " run" when RunAtStart is true.
std::string AutorunCommand(const std::string& ProgramPath, bool RunAtStart);

// Registers (Enable) or unregisters the program in the current user's Run key.
// Reports a failure only through the message box "Set Autorun failed.";
// returns true in every case.
bool SetAutorun(bool Enable, bool RunAtStart);
