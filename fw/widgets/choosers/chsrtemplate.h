// What the font and style choosers share: an instance made by
// vinstanceCreate loads itself from its class's dialog template.
//
// - Both choosers: under `vconfirmProcess` the buttons only end the run, so a run ending with OK or
//   Apply runs the accept hook as it stops (`chsrtemplate.h`).
#pragma once
#include <cstddef>
#include <cstring>

#include "fw/core/class.h"
#include "fw/core/ex.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/namedres.h"
#include "fw/widgets/choosers/confirm.h"

// A chooser's dictionary, the application's named resource `name` (0 when
// there is none), and in `templ`, when given, its "Confirm" template.
inline vresource _vchsrDictionary(vname name, vresource* templ = nullptr) {
  vresource dict = 0;
  if (!vapplicationFindNamedResource(name, &dict)) return 0;
  if (templ) vresourceTestGet(dict, N("Confirm"), templ);
  return dict;
}

// Instances come from a pool: a chooser's own fields, from `first` to the
// record's end, start cleared.
template <typename Chooser, typename Field>
void _vchsrClearOwnFields(Chooser* c, Field* first) {
  auto* begin = reinterpret_cast<char*>(first);
  std::memset(begin, 0, std::size_t(reinterpret_cast<char*>(c + 1) - begin));
}

// The chooser's init: the plain confirm init while a template loads (the
// load runs the class's init again), else the load from the template,
// which names its dictionary in `missing` when there is none.
inline void _vchsrInitFromTemplate(vinstance* self, vresource templ, const char* missing) {
  static int loading = 0;
  if (loading) return vconfirmGetDefaultClass()->init(self);
  ++loading;
  vexGuard(
      [&] {
        if (!templ) _vexGenerate(&vexModuleStartupClass, vexSetMessage, missing, vexEnd);
        vclassRec<vobjectClassRec>(static_cast<vobject*>(self))->loadInit(static_cast<vobject*>(self), templ);
      },
      [&](vexHandler&) {
        --loading;
        _vexGenerate(nullptr, vexEnd);
      });
  --loading;
}

// A modal run's buttons only end the run: when it ends with OK or Apply
// the chooser accepts, as those buttons do in an open chooser.
inline void _vchsrProcessStop(vconfirm* c) {
  vname answer = c->answer;
  if (c->process && (answer == vnameInternLiteral("Ok") || answer == vnameInternLiteral("Apply")) && c->applyHook)
    c->applyHook(c, nullptr);
  vconfirmGetDefaultClass()->processStop(c);
}
