#include "enumeration.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "outcome.h"

namespace {

constexpr unsigned long kInsufficientBuffer = 122, kAccessDenied = 5, kServerUnavailable = 1722;

// A spooler that answers each call from a script: whether it succeeds, the
// error it leaves, the bytes it asks for and the records it reports.
struct Answer {
  bool ok;
  unsigned long error, needed, count;
};

Enumeration Answering(const std::vector<Answer>& script, size_t recordSize = 8) {
  size_t call = 0;
  unsigned long lastError = 0;
  return Enumerate(
      recordSize,
      [&](unsigned char* buffer, unsigned long size, unsigned long* needed, unsigned long* count) {
        const Answer& a = script.at(call++);
        // The records go into the buffer given, never past its size.
        if (a.ok && buffer != nullptr) std::memset(buffer, 0x5A, size);
        *needed = a.needed;
        *count = a.count;
        lastError = a.error;
        return a.ok;
      },
      [&] { return lastError; });
}

}  // namespace

// A refusal is the spooler's error and no records, at either call; only a
// request for more room leads to the next call.
TEST(Enumeration, RefusalIsAnErrorNeverAnEmptyList) {
  struct Case {
    std::vector<Answer> script;
    unsigned long error, count;
  };
  const Case cases[] = {
      // Nothing to list: the sizing call itself succeeds.
      {{{true, 0, 0, 0}}, 0, 0},
      {{{false, kInsufficientBuffer, 64, 0}, {true, 0, 64, 3}}, 0, 3},
      // The spooler refuses the sizing call or the filling call.
      {{{false, kServerUnavailable, 0, 0}}, kServerUnavailable, 0},
      {{{false, kInsufficientBuffer, 64, 0}, {false, kAccessDenied, 0, 0}}, kAccessDenied, 0},
      // A failure without an error is still a failure.
      {{{false, 0, 0, 0}}, 31, 0},
      // The list grew between the calls: one more call, then its error.
      {{{false, kInsufficientBuffer, 64, 0}, {false, kInsufficientBuffer, 96, 0}, {true, 0, 96, 12}}, 0, 12},
      {{{false, kInsufficientBuffer, 64, 0}, {false, kInsufficientBuffer, 96, 0}, {false, kInsufficientBuffer, 128, 0}},
       kInsufficientBuffer,
       0},
      // Asked for more room but not for more bytes: no endless asking.
      {{{false, kInsufficientBuffer, 0, 0}}, kInsufficientBuffer, 0},
      // More records than the buffer holds: none is read.
      {{{false, kInsufficientBuffer, 64, 0}, {true, 0, 64, 9}}, 13, 0},
      {{{true, 0, 0, 1}}, 13, 0},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Enumeration e = Answering(cases[i].script);
    EXPECT_EQ(e.error, cases[i].error) << "case " << i;
    EXPECT_EQ(e.count, cases[i].count) << "case " << i;
    EXPECT_EQ(e.buffer != nullptr, cases[i].count != 0) << "case " << i;
  }
}

// How the steps' outcomes make a run's: the first error stays, a restart a
// step needs is kept unless an error comes.
TEST(Enumeration, OutcomeOfTheSteps) {
  const unsigned long cases[][3] = {
      {0, 0, 0},
      {0, 5, 5},
      {5, 32, 5},
      {5, 0, 5},
      {0, kRestartRequired, kRestartRequired},
      {kRestartRequired, 0, kRestartRequired},
      {kRestartRequired, 5, 5},
      {5, kRestartRequired, 5},
  };
  for (const auto& c : cases) EXPECT_EQ(MergeOutcome(c[0], c[1]), c[2]) << c[0] << " then " << c[1];
}
