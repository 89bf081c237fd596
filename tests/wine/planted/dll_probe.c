/* Loads the DLL named on its command line the plain way, with the search
   order a program gets when it restricts nothing; exit code 0 when loaded.
   With "hold" after the name, maps the file as an image without running it,
   as a host holds its plug-in module, leaves "<file>.held" beside it and
   keeps it until the process is ended. */
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  if (argc < 3 || lstrcmpA(argv[2], "hold") != 0) return LoadLibraryA(argv[1]) != NULL ? 0 : 1;
  if (LoadLibraryExA(argv[1], NULL, DONT_RESOLVE_DLL_REFERENCES) == NULL) return 1;
  char marker[MAX_PATH + 8];
  if (lstrlenA(argv[1]) >= MAX_PATH) return 3;
  lstrcpyA(marker, argv[1]);
  lstrcatA(marker, ".held");
  HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  WaitForSingleObject(GetCurrentProcess(), INFINITE);
  return 0;
}
