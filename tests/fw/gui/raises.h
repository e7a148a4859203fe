// Whether body raised an exception of the Arg family (the chain restored).
#pragma once
#include "fw/core/ex.h"

template <class F>
bool raisesArg(F body) {
  bool arg = false;
  vexGuard(body, [&](vexHandler& h) {
    arg = vexClassDerives(vexGetCurrentException()->cls, &vexArgClass);
    vexSetCurrentException(h.savedChain);
  });
  return arg;
}
