/* Loads the DLL named on its command line the plain way, with the search
   order a program gets when it restricts nothing; exit code 0 when loaded.
   Given two event names after it, it holds the file as a running host holds
   its plug-in instead: mapped as an image, its code never run, from setting
   the first event until the second is set. */
#include <windows.h>

static int Hold(const char* path, const char* readyName, const char* releaseName) {
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, readyName);
  HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, releaseName);
  HMODULE held = LoadLibraryExA(path, NULL, DONT_RESOLVE_DLL_REFERENCES);
  if (ready == NULL || release == NULL || held == NULL) return 1;
  SetEvent(ready);
  /* Bounded, so that a test that never lets go leaves no holder behind. */
  WaitForSingleObject(release, 600000);
  FreeLibrary(held);
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 4) return Hold(argv[1], argv[2], argv[3]);
  if (argc < 2) return 2;
  return LoadLibraryA(argv[1]) != NULL ? 0 : 1;
}
