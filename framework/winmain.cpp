// The program's entry: the one application object runs its course.
#include <cstdlib>

#include "system_dll.h"
#include "winapp.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
  RestrictDllSearch();
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return -1;
  app->m_hInstance = hInstance;
  if (!app->InitInstance()) return app->ExitInstance();
  return app->Run();
}

// An exception nothing catches ends the program. The runtime's own handler
// would first print the exception's demangled type to a console a windowed
// program does not have, and its demangler alone is a tenth of the program.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
