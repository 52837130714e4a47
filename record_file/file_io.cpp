#include "record_file/file_io.h"

#include <algorithm>

namespace {

WriteFault injectedFault = WriteFault::None;
size_t injectedBytesBeforeFailure = 0;

}  // namespace

void setWriteFaultForTesting(WriteFault fault, size_t bytesBeforeFailure) {
  injectedFault = fault;
  injectedBytesBeforeFailure = bytesBeforeFailure;
}

WriteFault writeFaultForTesting() { return injectedFault; }

size_t writableBytesForTesting(size_t count) {
  return injectedFault == WriteFault::Write ? std::min(count, injectedBytesBeforeFailure) : count;
}
