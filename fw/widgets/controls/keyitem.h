// Key capture items: a small framed box that takes the next key pressed
// while it has the focus as its value, shows it with the look's key drawer
// and announces it.
//
// - `controls/keyitem.h`: `vkeyitem`, which takes the key value of the next key pressed while
//   focused ((symbol << 16) | modifiers), draws it with the look's key drawer and notifies with the
//   key event.
#pragma once
#include <cstdint>

#include "fw/widgets/dialog/item.h"

struct vkeyitem : vdialogItem {
  std::uint32_t key;  // symbol << 16 | modifiers; 0 none
};

struct vkeyitemClassRec : vdialogItemClassRec {
  void (*setKey)(vkeyitem* item, std::uint32_t key);
};

vkeyitemClassRec* vkeyitemGetDefaultClass();
vkeyitem* vkeyitemCreate();
inline void vkeyitemSetKey(vkeyitem* item, std::uint32_t key) { vclassRec<vkeyitemClassRec>(item)->setKey(item, key); }
