// Text observers: objects registered with a text, told of every change
// through ten hooks in a fixed order.
//
// - Observers (`observer.h`): entry 0 the primary observer, installs into the highest free entry
//   above 0, the array grows by one and never shrinks; dispatch skips muted observers and sends
//   nothing while the module's suppression counter is set.
#pragma once
#include <cstdint>

#include "fw/text/text.h"

enum : std::uint32_t {
  vtextObserverOWNED = 1,  // destroyed when taken off the text
  vtextObserverMUTED = 2,
};

struct vtextObserver : vobject {
  vinstance* client;  // the object worked for (the text, for a primary observer)
  std::uint32_t flags;
  std::uint32_t passClient;  // nonzero: hooks get the client instead of the observer
  vtext* text;
};

// Hooks take the observer, or its client when pass-client is set.
struct vtextObserverClassRec : vobjectClassRec {
  void (*inserted)(vinstance* target, std::int32_t position, std::int32_t count);
  void (*deleted)(vinstance* target, std::int32_t position, std::int32_t count);
  void (*inserting)(vinstance* target, std::int32_t position, std::int32_t count);
  void (*deleting)(vinstance* target, std::int32_t position, std::int32_t count);
  void (*rulerChanged)(vinstance* target, vtextRuler* ruler, std::int32_t first, std::int32_t last);
  void (*styleChanged)(vinstance* target, vtextStyle* style, std::int32_t start, std::int32_t end);
  void (*selectionMode)(vinstance* target, vtextSelection* selection, int phase);
  void (*recalculated)(vinstance* target, vtext* text);
  void (*selectionChanged)(vinstance* target, vtextSelection* selection, int phase);
  void (*destroyed)(vinstance* target, vtext* text);
};

vtextObserverClassRec* vtextObserverGetDefaultClass();
void vtextInstallObserver(vtext* text, vtextObserver* observer);
// "Observer Already Removed" for one not registered with the text.
void vtextRemoveObserver(vtext* text, vtextObserver* observer);
void vtextUninstallObserver(vtext* text, vtextObserver* observer);
// Replaces the primary observer (entry 0) by a new owned instance of the
// class; null only destroys it.
void vtextSetObserverClass(vtext* text, vclass* cls);
vclass* vtextGetObserverClass(const vtext* text);
