// Attribute lists: named attributes, each a C value with the datatag that
// says what it is. Values go in as C arguments described by the datatag
// and come out as text or tags.
//
// A list is a dictionary of value words beside a Dictionary datatag that gives each attribute's
// datatag. Floats keep the whole double in the pointer-sized entry, strings and scraps are owned by
// the list, every other kind is converted into a pointer-sized local (kinds larger than that are
// refused). A value that fails conversion, or a Byte or Short outside its range (refused with
// Arg/Range rather than truncated), leaves the attribute without a value: the old one is freed and
// the attribute removed before the exception goes on.
#pragma once
#include <cstdint>

#include "fw/data/datatag.h"

struct vattrlist {
  vdict values;       // name -> value word: the value, or an owned string or scrap
  vdatatag* datatag;  // a Dictionary datatag: name -> the value's datatag
};

vattrlist* vattrlistCreate();  // from the module's pool, initialised
void vattrlistInit(vattrlist* list);
void vattrlistDestroy(vattrlist* list);
// The values as datatag describes them; a null datatag removes the
// attribute, and so does a value that cannot be taken.
void vattrlistSet(vattrlist* list, vname tag, vdatatag* datatag, ...);
// The stored word (or double) itself; the list owns a String's or Scrap's.
void vattrlistSetValue(vattrlist* list, vname tag, vdatatag* datatag, std::intptr_t word);
void vattrlistSetFloatValue(vattrlist* list, vname tag, vdatatag* datatag, double value);
vname vattrlistGetTag(vattrlist* list, vname tag);
vscribe* vattrlistGetScribed(vattrlist* list, vname tag);  // null when absent
void vattrlistCopy(vattrlist* source, vattrlist* destination);

struct vattrlistIterator {
  vdictIterator entries;
  vattrlist* list;
};
void vattrlistInitIterator(vattrlistIterator* it, vattrlist* list);
int vattrlistNextIterator(vattrlistIterator* it);
vname vattrlistIteratorTag(const vattrlistIterator* it);
vdatatag* vattrlistIteratorDatatag(const vattrlistIterator* it);
std::intptr_t vattrlistIteratorWord(const vattrlistIterator* it);  // a float's double bits for the float kinds
