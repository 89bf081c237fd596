// The machine read from any first bytes of a file: the reader is given
// exactly the input, in a buffer of its own size, so that a read past the
// end is caught by the address sanitizer.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "machine.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  auto head = std::make_unique<unsigned char[]>(size);
  if (size != 0) std::memcpy(head.get(), data, size);
  const Machine machine = PeMachine(head.get(), size);
  // A machine is only ever read from a header that starts "MZ".
  if (machine != Machine::None && (size < 2 || head[0] != 'M' || head[1] != 'Z')) std::abort();
  return 0;
}
