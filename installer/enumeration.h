// A spooler enumeration: a sizing call asks how many bytes the records need,
// a filling call fills a buffer of exactly that many. What the calls come to
// decides between records and an error: a spooler that refuses to list is
// never taken for one with nothing to list. Platform-free.
#pragma once

#include <cstddef>
#include <memory>

struct Enumeration {
  std::unique_ptr<unsigned char[]> buffer;
  unsigned long count = 0;
  // 0, or the error that left no records.
  unsigned long error = 0;
};

// call(buffer, size, &needed, &count) makes the enumeration's call and is
// true when it succeeded; lastError() gives a failed call's error.
template <class Call, class LastError>
Enumeration Enumerate(std::size_t recordSize, Call call, LastError lastError) {
  constexpr unsigned long kInsufficientBuffer = 122, kInvalidData = 13, kGenFailure = 31;
  // The sizing call, the filling call, and one more filling call for a list
  // that grew in between.
  constexpr int kCalls = 3;
  Enumeration result;
  unsigned long size = 0;
  for (int calls = 1;; ++calls) {
    unsigned long needed = 0, count = 0;
    if (call(result.buffer.get(), size, &needed, &count)) {
      // Every record must lie inside the buffer the spooler was given.
      if (count > size / (recordSize ? recordSize : 1)) {
        result.buffer.reset();
        result.error = kInvalidData;
        return result;
      }
      result.count = count;
      return result;
    }
    const unsigned long error = lastError();
    // Asking for more room is how the sizing call answers; any other failure,
    // or no more room asked for, is the spooler's refusal.
    if (error != kInsufficientBuffer || needed <= size || calls == kCalls) {
      result.buffer.reset();
      result.error = error != 0 ? error : kGenFailure;
      return result;
    }
    size = needed;
    result.buffer = std::make_unique<unsigned char[]>(size);  // value-initialised: zero-filled
  }
}
