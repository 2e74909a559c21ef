// Nothing thrown may leave a back end's operation: Guarded<&F>::Call runs F
// and turns anything thrown (a failure to allocate) into EDVR, ibcntl ENOMEM.
#pragma once
#include <cerrno>
#include <type_traits>

#include <vexon.h>
#include "status.h"

namespace vexon {

template <auto F>
struct Guarded;
template <class R, class... A, R (*F)(A...)>
struct Guarded<F> {
  static R Call(A... args) {
    try {
      return F(args...);
    } catch (...) {
      if constexpr (std::is_same_v<R, void>) {
        Fail(0, EDVR, ENOMEM);
      } else if constexpr (std::is_same_v<R, bool>) {
        Fail(0, EDVR, ENOMEM);
        return false;
      } else {
        return Fail(0, EDVR, ENOMEM);
      }
    }
  }
};

}  // namespace vexon
