//===- win32ui/application.cpp - Program start-up --------------------------===//

#include "win32ui/application.h"

#include "core/heap_reuse.h"
#include "win32ui/main_dialog.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

int RunApplication() {
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS;
  InitCommonControlsEx(&controls);
  // The desktop's "open" action may hand the help page or a link to a shell
  // extension, which needs COM on the calling thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  KeepFreedMemoryForReuse();

  {
    MainDialog dialog;
    dialog.Run();
  }
  int status = 0;
  MSG quit;
  if (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
    status = static_cast<int>(quit.wParam);

  if (SUCCEEDED(com))
    CoUninitialize();
  return status;
}
