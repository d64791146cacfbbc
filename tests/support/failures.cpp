#include "tests/support/failures.h"

#include "runtime/failure.h"

namespace orvane::testing {

std::int32_t failure_number(const std::function<void()>& call) {
  try {
    call();
  } catch (const Failure& failure) {
    return failure.number();
  }
  return 0;
}

Text failure_text(const std::function<void()>& call) {
  try {
    call();
  } catch (const Failure& failure) {
    return failure.description();
  }
  return {};
}

}  // namespace orvane::testing
