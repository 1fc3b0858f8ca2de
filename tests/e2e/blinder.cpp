// A stand-in for the companion program: records how it was started and the
// exit message it receives, in blinder.log beside itself.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string LogPath() {
  char Path[MAX_PATH];
  GetModuleFileNameA(nullptr, Path, MAX_PATH);
  std::string Folder = Path;
  return Folder.substr(0, Folder.find_last_of('\\') + 1) + "blinder.log";
}

void Record(const std::string& Line) {
  if (FILE* Log = fopen(LogPath().c_str(), "a")) {
    fprintf(Log, "%s\n", Line.c_str());
    fclose(Log);
  }
}

UINT ExitMessage;

LRESULT CALLBACK WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == ExitMessage) {
    Record("Exit Blinder");
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(Window, Msg, WParam, LParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE Instance, HINSTANCE, LPSTR CommandLine, int Show) {
  ExitMessage = RegisterWindowMessageA("Exit Blinder");
  WNDCLASSA Class{};
  Class.lpfnWndProc = WindowProc;
  Class.hInstance = Instance;
  Class.lpszClassName = "BlinderStandIn";
  RegisterClassA(&Class);
  CreateWindowA("BlinderStandIn", "Blinder", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, Instance, nullptr);
  Record(std::string("started: ") + CommandLine + " show=" + std::to_string(Show));
  MSG Msg;
  while (GetMessageA(&Msg, nullptr, 0, 0) > 0) DispatchMessageA(&Msg);
  return 0;
}
