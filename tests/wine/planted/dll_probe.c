/* Loads the DLL named on its command line the plain way, with the search
   order a program gets when it restricts nothing; exit code 0 when loaded. */
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  return LoadLibraryA(argv[1]) != NULL ? 0 : 1;
}
