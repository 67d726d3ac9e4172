// The failure a call raises, for tests that look at its number, source and description.
#pragma once

#include <functional>

#include "common/Failure.h"

namespace tandro::test {

// The failure `call` raises, or one numbered 0 when it raises none.
inline Failure failureOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Failure& failure) {
    return failure;
  }
  return Failure(0, {}, {});
}

}  // namespace tandro::test
