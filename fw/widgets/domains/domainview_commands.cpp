// The domain views' command space: their selector commands, the synthetic
// commands that issue them with an "Option", and the key bindings of the
// preferences' "Keys" / "vdomainview" / the current look.
#include "fw/core/command.h"
#include "fw/core/dict.h"
#include "fw/data/pref.h"
#include "fw/widgets/domains/domainview.h"
#include "fw/widgets/look/laf.h"

namespace {

const vcommandTableRow kSelectors[] = {{"MoveFocus", 4},         {"Select All", 29}, {"Duplicate", 30},
                                       {"Display Selection", 31}, {"Select Object", 32}, {"Move", 33},
                                       {"Align", 34},            {"Distribute", 35}};

struct Synthetic {
  const char* name;
  const char* target;
  const char* option;
};
const Synthetic kSynthetic[] = {
    {"Move To Front", "Move", "Front"},
    {"Move To Back", "Move", "Back"},
    {"Move Forward", "Move", "Forward"},
    {"Move Backward", "Move", "Backward"},
    {"Align Left", "Align", "Left"},
    {"Align Right", "Align", "Right"},
    {"Align Top", "Align", "Top"},
    {"Align Bottom", "Align", "Bottom"},
    {"Align Vertical Centers", "Align", "Vertical"},
    {"Align Horizontal Centers", "Align", "Horizontal"},
    {"Align To Grid", "Align", "Grid"},
    {"Align To Objects", "Align", "Objects"},
    {"Distribute Left Edges", "Distribute", "Left"},
    {"Distribute Right Edges", "Distribute", "Right"},
    {"Distribute Top Edges", "Distribute", "Top"},
    {"Distribute Bottom Edges", "Distribute", "Bottom"},
    {"Distribute Vertical Centers", "Distribute", "Vertical"},
    {"Distribute Horizontal Centers", "Distribute", "Horizontal"},
    {"Select Top Object", "Select Object", "Top"},
};

vdict* preferenceKeys() {
  return vlafLoadClassKeys("vdomainview");
}

}  // namespace

vcommandSpace* _vdomainviewBuildSpace(vcommandSpace* inherited) {
  auto* space = static_cast<vcommandSpace*>(vobjectClone(inherited));
  vdict* commands = vcommandCreateDictFromTable(vobjectGetCommandClass(), kSelectors,
                                                static_cast<int>(std::size(kSelectors)));
  for (const Synthetic& s : kSynthetic) {
    auto* c = static_cast<vcommand*>(vinstanceCreate(vcommandGetDefaultSyntheticClass()));
    vcommandAppendSyntheticEntry(c, vnameInternLiteral(s.target));
    vcommandAppendSyntheticPair(c, vnameInternLiteral("Option"), vnameInternLiteral(s.option));
    vdictStore(commands, vnameInternLiteral(s.name), c);
  }
  vcommandSpaceAddDict(space, vname_Command, commands);
  if (vdict* keys = preferenceKeys()) vcommandSpaceAddDict(space, vname_Key, keys);
  return space;
}
