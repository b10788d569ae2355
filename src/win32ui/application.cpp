//===- win32ui/application.cpp - Program start-up --------------------------===//

#include "win32ui/application.h"

#include "core/heap_reuse.h"
#include "win32ui/main_dialog.h"
#include "win32ui/messages.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <string>

int RunApplication() {
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS;
  InitCommonControlsEx(&controls);
  // The desktop's "open" action may hand the help page or a link to a shell
  // extension, which needs COM on the calling thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  KeepFreedMemoryForReuse();

  int status = 0;
  {
    MainDialog dialog;
    if (!dialog.Run()) {
      // Without its window the program has nothing to show but this.
      const DWORD error = GetLastError();
      const std::wstring text =
          L"Velkor cannot open its window (Windows error " + std::to_wstring(error) + L").";
      MessageBoxW(nullptr, text.c_str(), kProgramName, MB_OK | MB_ICONWARNING);
      status = 1;
    }
  }
  MSG quit;
  if (status == 0 && PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
    status = static_cast<int>(quit.wParam);

  if (SUCCEEDED(com))
    CoUninitialize();
  return status;
}
