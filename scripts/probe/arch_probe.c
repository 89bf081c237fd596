/* Says what Windows it runs on: the native processor architecture and the
   size of its own pointers. The test script runs the 32-bit build of it to
   learn whether 32-bit Windows programs execute here at all. */
#include <stdio.h>
#include <windows.h>

int main(void) {
  SYSTEM_INFO info;
  GetNativeSystemInfo(&info);
  printf("native=%u pointer=%u\n", (unsigned)info.wProcessorArchitecture, (unsigned)(sizeof(void*) * 8));
  return 0;
}
