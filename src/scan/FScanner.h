#pragma once
// The folder scanner: searches drives or a folder tree on a worker thread for
// entries whose names match a mask list and whose attributes include a
// required set, and reports each one to its owner. Every report runs on the
// main thread while the worker waits for it (win/Synchronize.h), so a handler
// may delete the entry it is given before the search moves on.

#include "base/DateTime.h"
#include "scan/Masks.h"
#include "win/Handle.h"
#include "win/Synchronize.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

// A set of the members of a small enumeration, as a bit mask by ordinal.
template <class E>
class TSetOf {
public:
  constexpr TSetOf() = default;
  constexpr TSetOf(std::initializer_list<E> Members) {
    for (E M : Members) Include(M);
  }
  constexpr void Include(E M) { FBits |= Bit(M); }
  constexpr void Exclude(E M) { FBits &= ~Bit(M); }
  constexpr bool Contains(E M) const { return (FBits & Bit(M)) != 0; }
  constexpr bool Empty() const { return FBits == 0; }
  // Member n is bit 2 to the power n.
  constexpr std::uint32_t Bits() const { return FBits; }
  constexpr bool operator==(const TSetOf&) const = default;

private:
  static constexpr std::uint32_t Bit(E M) { return std::uint32_t{1} << static_cast<int>(M); }
  std::uint32_t FBits = 0;
};

enum TScanStrategy { ssGlobal, ssSpecifiedDisk, ssSpecifiedDir };
enum TScanDrive { sdHard, sdCDROM, sdRAM, sdNetwork, sdFloppy };
using TScanDrives = TSetOf<TScanDrive>;
// In this order their bits are those of the Win32 attribute word.
enum TFileAttribute { faReadOnly, faHidden, faSysFile, faVolumeID, faDirectory, faArchive };
using TFileAttributes = TSetOf<TFileAttribute>;
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// AName without path; APath the folder as the scan built it; ASize in bytes,
// 0xFFFFFFFF for 4 GiB and more; ADateTime the last-write time, local, two-
// second resolution, 0 when it cannot be converted.
using TDoFileFound = std::function<void(const std::string& AName, const std::string& APath,
                                        std::uint32_t AAttr, std::uint32_t ASize,
                                        TDateTime ADateTime)>;
// The entries reported so far and their size, the folder being entered; the
// last two are always 0.
using TDoProcess = std::function<void(std::uint32_t ACount, std::uint32_t ASize,
                                      const std::string& ACurrent, std::uint32_t ACurrentSize,
                                      std::uint32_t ACurrentPos)>;
using TDoProcessDone = std::function<void(std::uint32_t ACount, std::uint32_t ASize)>;

// Name alone if Folder is empty; Folder then Name if Folder ends with a
// backslash; otherwise Folder, a backslash and Name.
std::string PathJoin(const std::string& Folder, const std::string& Name);

class TBaseScanner;

// The worker of one scan. Created by the scanner, started once, never reused;
// it keeps itself alive until its thread has ended.
class TScanThread : public std::enable_shared_from_this<TScanThread> {
public:
  // Takes a snapshot of the scanner's settings and handlers.
  explicit TScanThread(const TBaseScanner& Scanner);
  virtual ~TScanThread() = default;
  TScanThread(const TScanThread&) = delete;
  TScanThread& operator=(const TScanThread&) = delete;

  // Main thread: the end notification, run on the main thread once the body
  // has ended, however it ended.
  std::function<void(TScanThread&)> OnTerminate;

  // Creates the thread at Priority and lets it run. Throws Exception when no
  // thread can be created.
  void Start(TThreadPriority Priority);
  // Any thread: asks the scan to end; it ends at the head of its next folder loop.
  void Terminate() noexcept { FTerminated = true; }
  bool Terminated() const noexcept { return FTerminated; }

  // Main thread: no handler and no end notification runs after this.
  void Detach() noexcept;
  bool Detached() const noexcept { return FDetached; }
  // Main thread: a hand-off of this thread is running right now.
  bool InHandOff() const noexcept { return FInHandOff; }
  // Main thread: waits until the thread has ended, serving its hand-offs.
  void WaitFor();

  // Read on the main thread inside a hand-off or after the end.
  const std::string& Current() const noexcept { return FCurrent; }
  std::uint32_t FoundCount() const noexcept { return FFoundCount; }
  std::uint32_t FoundSize() const noexcept { return FFoundSize; }
  int ErrorFlag() const noexcept { return FErrorFlag; }
  // Entries left out: names that cannot be carried exactly, folders that were
  // no longer what was listed when the scan came to enter them.
  std::uint32_t Skipped() const noexcept { return FSkipped; }

protected:
  // The thread body: Scan inside a guard that turns a failure into ErrorFlag -1
  // and its message in Current.
  virtual void Execute();
  virtual void Scan();
  // Main thread, in a hand-off.
  virtual void DoProcess();
  virtual void DoFileFound();
  // Worker: hands DoFileFound to the main thread.
  virtual void SyncFileFound();

  // Worker: runs Method on the main thread and waits for it.
  void Synchronize(void (TScanThread::*Method)());
  // Reports every entry of the tree at Folder, folders before what they hold.
  void ScanFolder(const std::string& Folder);
  void ScanDrives();

private:
  static DWORD WINAPI ThreadProc(LPVOID Param);
  void Run();
  // Reports the entries of one folder and adds its sub-folders, in order.
  // Root: the folder the scan was given, whose own path is taken as it is.
  void ListFolder(const std::string& Folder, bool Root, std::vector<std::string>& SubFolders);

  // Snapshot.
  bool FRecursive;
  std::uint32_t FAttributeMask;
  std::string FFiles;
  std::string FDirectory;
  TScanDrives FScanDrives;
  TScanStrategy FScanStrategy;
  TDoProcess FOnProcess;
  TDoFileFound FOnFileFound;

  // Written by the worker outside hand-offs, read by the main thread inside them.
  std::string FCurrent;
  WIN32_FIND_DATAW FFound{};
  std::string FFoundName;  // FFound's name, converted
  std::uint32_t FFoundCount = 0;
  std::uint32_t FFoundSize = 0;
  std::uint32_t FSkipped = 0;
  int FErrorFlag = 0;
  const TMaskList* FMasks = nullptr;
  long long FLocalOffset = 0;  // local minus UTC file time, taken per folder

  std::atomic<bool> FTerminated{false};
  bool FDetached = false;  // main thread only
  bool FInHandOff = false;  // main thread only
  TSynchronizer FSync;
  TKernelHandle FHandle;
};

class TBaseScanner {
public:
  TBaseScanner();
  // Safe during a scan: stops it, and no handler runs after this.
  virtual ~TBaseScanner();
  TBaseScanner(const TBaseScanner&) = delete;
  TBaseScanner& operator=(const TBaseScanner&) = delete;

  // Read when a scan starts (OnProcessDone when it ends); changes do not reach
  // a running scan.
  std::string Directory = "C:\\";
  std::string Files = "*";
  TScanStrategy ScanStrategy = ssGlobal;
  TScanDrives ScanDrives{sdHard, sdCDROM, sdRAM, sdNetwork};
  TFileAttributes Attributes{faArchive};  // all required; empty accepts every entry
  bool Recursive = true;
  TThreadPriority Priority = tpTimeCritical;
  TDoProcess OnProcess;          // bound to DoProcess by the constructor
  TDoProcessDone OnProcessDone;  // none
  TDoFileFound OnFileFound;      // bound to DoFileFound by the constructor

  // Starts a scan with the current settings; does nothing while one runs.
  virtual void Execute();
  // Asks a running scan to end and returns at once; the scanner stays busy
  // until OnProcessDone has run.
  virtual void Stop();
  // From Execute until the end of the scan has been reported.
  bool Busy() const noexcept { return FThread != nullptr; }
  // Main thread: waits for the running scan to end (its handlers and end
  // report run meanwhile), processing no window messages. Returns at once
  // when called from one of the scan's own handlers.
  void WaitFor();

protected:
  // Main thread. A new scan started from inside OnProcessDone is ignored.
  virtual std::shared_ptr<TScanThread> CreateScanThread();
  virtual void DoProcess(std::uint32_t ACount, std::uint32_t ASize, const std::string& ACurrent,
                         std::uint32_t ACurrentSize, std::uint32_t ACurrentPos);
  virtual void DoFileFound(const std::string& AName, const std::string& APath,
                           std::uint32_t AAttr, std::uint32_t ASize, TDateTime ADateTime);

private:
  void ThreadDone(TScanThread& Thread);

  std::shared_ptr<TScanThread> FThread;
};
