// What a body raised, the chain restored afterwards.
#pragma once
#include <string>

#include "fw/core/ex.h"

// Whether body raised an exception of the Arg family.

template <class F>
bool raisesArg(F body) {
  bool arg = false;
  vexGuard(body, [&](vexHandler& h) {
    arg = vexClassDerives(vexGetCurrentException()->cls, &vexArgClass);
    vexSetCurrentException(h.savedChain);
  });
  return arg;
}

// The class of what body raised (its message in *message), or null.
template <class F>
const vexClass* raised(F body, std::string* message = nullptr) {
  const vexClass* cls = nullptr;
  vexGuard(body, [&](vexHandler& h) {
    vexException* e = vexGetCurrentException();
    cls = e->cls;
    if (message) *message = e->message ? e->message : "";
    vexSetCurrentException(h.savedChain);
  });
  return cls;
}
