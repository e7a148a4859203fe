#include "fw/data/scrap.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "fw/core/debug.h"

namespace {

struct ScrapState {
  vdelegatorClassRec* reference;
  vscrapConvertibleClassRec* convertible;
  vscrapTypeableClassRec* typeable;
  vscrapBooleanClassRec* boolean;
  vscrapCharacterClassRec* character;
  vscrapFixedClassRec* fixed;
  vscrapIntegerClassRec* integer;
  vscrapFloatClassRec* floating;
  vscrapStringClassRec* string;
  vscrapTagClassRec* tag;
  vscrapBlockClassRec* block;
  vscrapCompoundClassRec* compound;
  vscrapArrayClassRec* array;
  vscrapDictionaryClassRec* dictionary;
  vscrapIteratorClassRec* iterator;
  vscrapCompoundIteratorClassRec* compoundIterator;
  vscrapArrayIteratorClassRec* arrayIterator;
  vscrapArrayIteratorClassRec* basicArrayIterator;
  vscrapDictionaryIteratorClassRec* dictionaryIterator;
  vscrapCompoundClassRec* arglist;
  vscrapValueClassRec<void*>* pointer;
  vscrapValueClassRec<void*>* datatag;
  vscrapValueClassRec<std::int64_t>* longlong;
  vscrapValueClassRec<vinstance*>* scrapValue;
  vabstractUnionClassRec* unionValue;
};
void** scrapSlot = nullptr;

// Every level of a compound value passes here (the exports of every kind
// and the dumps), so the level count bounds the walks of any mix of kinds.
int compoundLevels = 0;
struct Level {
  Level() {
    if (compoundLevels > vscrapMAX_DEPTH) vscrapRaiseTooDeep();
    ++compoundLevels;
  }
  ~Level() { --compoundLevels; }
};

vinstance* at(const vscrap* w) { return w->stack[w->depth]; }
template <class Rec>
Rec* slots(const vscrap* w) {
  return static_cast<Rec*>(at(w)->cls);
}
vscrap positioned(vscrap w, const vclass* cls) {
  vdelegatorFindClass(&w, cls);
  return w;
}
std::FILE* orError(std::FILE* stream) { return stream ? stream : vdebugGetConsoleError(); }

// A walk's objects, as the delegator prints them.
void printWalk(std::FILE* stream, const vscrap* walk) {
  char p[24];
  vdebugFprintf(stream, "stack %s contains %d objects: [", vdebugPointerText(p, walk), walk->depth + 1);
  for (int i = 0; i <= walk->depth && i < vdelegatorMAX_DEPTH; ++i)
    vdebugFprintf(stream, " %s ", vdebugPointerText(p, walk->stack[i]));
  vdebugFputs("]", stream);
}
const vclass* topClassOf(const vscrap* walk) {
  vinstance* top = walk->depth >= 0 ? walk->stack[walk->depth] : nullptr;
  return top ? top->cls : nullptr;
}
void printTop(std::FILE* stream, const vclass* cls) {
  char p[24];
  vdebugFprintf(stream, "(top class %s \"%s)\n", vdebugPointerText(p, cls), cls && cls->name ? cls->name : "");
}
void printUnimplemented(vexException* e, std::FILE* stream) {
  auto* r = static_cast<vscrapUnimplementedException*>(e);
  vdebugFputs("\tstack:", stream);
  printWalk(stream, &r->walk);
  printTop(stream, r->topClass);
}
void printCannotConvert(vexException* e, std::FILE* stream) {
  auto* r = static_cast<vscrapCannotConvertException*>(e);
  vdebugFputs("\tfrom:", stream);
  printWalk(stream, &r->from);
  printTop(stream, r->fromClass);
  vdebugFputs("\tto:", stream);
  printWalk(stream, &r->to);
  printTop(stream, r->toClass);
}
void setUnimplemented(vexException* e, va_list* ap) {
  auto* r = static_cast<vscrapUnimplementedException*>(e);
  vdelegatorCopyIterator(&r->walk, va_arg(*ap, const vscrap*));
  r->top = r->walk.depth >= 0 ? at(&r->walk) : nullptr;
  r->topClass = topClassOf(&r->walk);
}
void setCannotConvert(vexException* e, va_list* ap) {
  auto* r = static_cast<vscrapCannotConvertException*>(e);
  vdelegatorCopyIterator(&r->from, va_arg(*ap, const vscrap*));
  vdelegatorCopyIterator(&r->to, va_arg(*ap, const vscrap*));
  r->fromClass = topClassOf(&r->from);
  r->toClass = topClassOf(&r->to);
}

bool raisedUnimplemented() { return vexClassDerives(vexGetCurrentException()->cls, &vexScrapUnimplementedClass); }

// Iterators and element objects end with their owner's scope, also when a
// raise passes through.
struct HeldIterator {
  vscrapIterator* it;
  ~HeldIterator() {
    if (it) vscrapIteratorDestroy(it);
  }
};
struct HeldElement {
  vinstance* object;
  ~HeldElement() {
    if (object) vinstanceDestroy(object);
  }
};
struct HeldBuffer {
  void* data;
  ~HeldBuffer() { vmemFree(data); }
};

vclass* iteratorClassOf(const vscrap* compound) { return slots<vscrapCompoundClassRec>(compound)->iteratorClass; }

// vscrapConvertible.
void setNotFound(vexException* e, va_list* ap) {
  auto* r = static_cast<vdelegatorClassNotFound*>(e);
  vdelegatorCopyIterator(&r->walk, va_arg(*ap, const vscrap*));
  r->cls = vscrapGetConvertibleClass();
}
void convertibleDump(vscrap* self, std::FILE* stream) {
  vscrap next = *self;
  if (!vdelegatorNextIterator(&next, 0)) _vexGenerate(&vexDelegatorClassNotFoundClass, setNotFound, self, vexEnd);
  vscrapDump(next, stream);
}
void convertibleExport(vscrap* self, vscrap* target) { vscrapRaiseCannotConvert(self, target); }

void defaultImport(vscrap* target, vscrap* source) {
  vclass* kind = slots<vscrapConvertibleClassRec>(source)->kindClass;
  if (!kind) vscrapRaiseCannotConvert(source, target);
  vscrap t = positioned(*target, kind);
  slots<vscrapConvertibleClassRec>(source)->exportTo(source, &t);
}

// vscrapTypeable.
void typeableImport(vscrap* target, vscrap* source) {
  // A typeable without a delegate of the kind entypes first, rather than
  // after a raise: the same outcome without the cost of the raise.
  vclass* wanted = slots<vscrapConvertibleClassRec>(source)->kindClass;
  if (wanted && !vdelegatorIsKindOf(at(target), wanted) &&
      slots<vscrapTypeableClassRec>(target)->entype(target, wanted)) {
    defaultImport(target, source);
    return;
  }
  bool failed = false;
  vexGuard([&] { defaultImport(target, source); },
           [&](vexHandler& h) {
             if (vscrapRaisedTooDeep()) _vexGenerate(nullptr);
             vexSetCurrentException(h.savedChain);
             failed = true;
           });
  if (!failed) return;
  vclass* kind = slots<vscrapConvertibleClassRec>(source)->kindClass;
  if (kind && slots<vscrapTypeableClassRec>(target)->entype(target, kind)) {
    defaultImport(target, source);
    return;
  }
  vexGenerateMessage(&vexRootClass, "Entype failed in Import operation");
}

// Scalar kinds.
template <class T>
void valueExport(vscrap* self, vscrap* target) {
  T value = slots<vscrapValueClassRec<T>>(self)->get(self);
  slots<vscrapValueClassRec<T>>(target)->set(target, value);
}
template <class T>
T unimplementedGet(vscrap* self) {
  vscrapRaiseUnimplemented(self);
}
template <class T>
void unimplementedSet(vscrap* self, T) {
  vscrapRaiseUnimplemented(self);
}

void dumpBoolean(vscrap* self, std::FILE* stream) {
  vdebugFputs(slots<vscrapBooleanClassRec>(self)->get(self) ? "TRUE" : "FALSE", orError(stream));
}
void dumpCharacter(vscrap* self, std::FILE* stream) {
  vdebugFputc(static_cast<unsigned char>(slots<vscrapCharacterClassRec>(self)->get(self)), orError(stream));
}
void dumpInteger(vscrap* self, std::FILE* stream) {
  vdebugFprintf(orError(stream), "%ld", static_cast<long>(slots<vscrapIntegerClassRec>(self)->get(self)));
}
void dumpFixed(vscrap* self, std::FILE* stream) {
  vdebugFprintf(orError(stream), "%g", slots<vscrapFixedClassRec>(self)->get(self) * (1.0 / 65536));
}
void dumpFloat(vscrap* self, std::FILE* stream) {
  vdebugFprintf(orError(stream), "%g", slots<vscrapFloatClassRec>(self)->get(self));
}
void dumpString(vscrap* self, std::FILE* stream) {
  vscribePrint(slots<vscrapStringClassRec>(self)->get(self), orError(stream));
}
void dumpTag(vscrap* self, std::FILE* stream) {
  vname name = slots<vscrapTagClassRec>(self)->get(self);
  vdebugFputs(name ? name : "", orError(stream));
}

// vscrapBlock.
constexpr std::size_t blockPiece = 32768;

std::size_t blockNoSize(vscrap*) { return 0; }
void blockSetSize(vscrap* self, std::size_t) { vscrapRaiseUnimplemented(self); }
void blockRead(vscrap* self, std::size_t, std::size_t, void*) { vscrapRaiseUnimplemented(self); }
void blockWrite(vscrap* self, std::size_t, std::size_t, const void*) { vscrapRaiseUnimplemented(self); }

void copyBlockPiece(vscrap* source, vscrap* target, std::size_t offset, std::size_t count, void* buffer) {
  slots<vscrapBlockClassRec>(source)->read(source, offset, count, buffer);
  slots<vscrapBlockClassRec>(target)->write(target, offset, count, buffer);
}

// Whole pieces while a full piece still leaves bytes after it, then the
// rest through a buffer of its own size.
void blockExport(vscrap* self, vscrap* target) {
  std::size_t n = slots<vscrapBlockClassRec>(self)->getSize(self);
  slots<vscrapBlockClassRec>(target)->setSize(target, n);
  std::size_t offset = 0;
  if (n > blockPiece) {
    HeldBuffer buffer{vmemAlloc(blockPiece)};
    for (; offset + blockPiece < n; offset += blockPiece) copyBlockPiece(self, target, offset, blockPiece, buffer.data);
  }
  if (std::size_t rest = n - offset) {
    HeldBuffer buffer{vmemAlloc(rest)};
    copyBlockPiece(self, target, offset, rest, buffer.data);
  }
}

void dumpBlock(vscrap* self, std::FILE* stream) {
  stream = orError(stream);
  std::size_t n = slots<vscrapBlockClassRec>(self)->getSize(self);
  unsigned char piece[80];
  for (std::size_t offset = 0; offset < n;) {
    std::size_t count = std::min<std::size_t>(sizeof piece, n - offset);
    slots<vscrapBlockClassRec>(self)->read(self, offset, count, piece);
    for (std::size_t i = 0; i < count; ++i) vdebugFprintf(stream, "%x", piece[i]);
    offset += count;
  }
}

// vscrapCompound.
void compoundUnimplemented(vscrap* self) { vscrapRaiseUnimplemented(self); }
void compoundAddUnimplemented(vscrap* self, vinstance* element) {
  vinstanceDestroy(element);
  vscrapRaiseUnimplemented(self);
}

void compoundExport(vscrap* self, vscrap* target) {
  Level level;
  bool pairwise = false;
  vexGuard([&] { slots<vscrapCompoundClassRec>(target)->clear(target); },
           [&](vexHandler& h) {
             if (!raisedUnimplemented()) _vexGenerate(nullptr);
             vexSetCurrentException(h.savedChain);
             pairwise = true;
           });
  HeldIterator from{vscrapIteratorCreate(iteratorClassOf(self), *self)};
  if (!pairwise) {
    while (vscrapIteratorNext(from.it))
      slots<vscrapCompoundClassRec>(target)->add(target, vscrapIteratorCurrentElement(from.it));
    return;
  }
  HeldIterator to{vscrapIteratorCreate(iteratorClassOf(target), *target)};
  while (vscrapIteratorNext(from.it)) {
    if (!vscrapIteratorNext(to.it)) vscrapRaiseCannotConvert(self, target);
    HeldElement source{vscrapIteratorCurrentElement(from.it)};
    HeldElement destination{vscrapIteratorCurrentElement(to.it)};
    vscrapImport(vscrapWalk(source.object), vscrapWalk(destination.object));
  }
}

void dumpElements(vscrap* self, std::FILE* stream, const char* open, const char* close) {
  Level level;
  stream = orError(stream);
  vdebugFputs(open, stream);
  HeldIterator it{vscrapIteratorCreate(iteratorClassOf(self), *self)};
  while (vscrapIteratorNext(it.it)) {
    HeldElement element{vscrapIteratorCurrentElement(it.it)};
    vdebugFputs(" ", stream);
    vscrapDump(vscrapWalk(element.object), stream);
  }
  vdebugFputs(close, stream);
}
void dumpCompound(vscrap* self, std::FILE* stream) { dumpElements(self, stream, "{", " }\n"); }
void dumpArray(vscrap* self, std::FILE* stream) { dumpElements(self, stream, "[", " ]\n"); }

// vscrapArray.
std::int32_t arrayCount(vscrap* self) { return slots<vscrapArrayClassRec>(self)->getCount(self); }
void arrayClear(vscrap* self) { slots<vscrapArrayClassRec>(self)->setCount(self, 0); }
void arrayAdd(vscrap* self, vinstance* element) {
  std::int32_t n = arrayCount(self);
  if (n == INT32_MAX) {
    vinstanceDestroy(element);
    vexGenerateMessage(&vexArgRangeClass, "array is full");
  }
  slots<vscrapArrayClassRec>(self)->setCount(self, n + 1);
  slots<vscrapArrayClassRec>(self)->setElement(self, n, element);
}
void arrayExport(vscrap* self, vscrap* target) {
  Level level;
  std::int32_t n = arrayCount(self);
  slots<vscrapArrayClassRec>(target)->setCount(target, n);
  for (std::int32_t i = 0; i < n; ++i)
    slots<vscrapArrayClassRec>(target)->setElement(target, i, slots<vscrapArrayClassRec>(self)->getElement(self, i));
}
std::int32_t arrayNoCount(vscrap* self) { vscrapRaiseUnimplemented(self); }
void arrayNoSetCount(vscrap* self, std::int32_t) { vscrapRaiseUnimplemented(self); }
vinstance* arrayNoGet(vscrap* self, std::int32_t) { vscrapRaiseUnimplemented(self); }
void arrayNoSet(vscrap* self, std::int32_t, vinstance* element) {
  vinstanceDestroy(element);
  vscrapRaiseUnimplemented(self);
}

// vscrapDictionary.
struct KeyedElement {
  vname key;
  vinstance* element;
};

std::vector<KeyedElement> collectKeys(vscrap* self, bool withElements) {
  std::vector<KeyedElement> pairs;
  pairs.reserve(5);
  HeldIterator it{vscrapIteratorCreate(iteratorClassOf(self), *self)};
  auto* rec = static_cast<vscrapDictionaryIteratorClassRec*>(it.it->cls);
  while (vscrapIteratorNext(it.it))
    pairs.push_back({rec->currentKey(it.it), withElements ? rec->currentElement(it.it) : nullptr});
  return pairs;
}

void dictionaryClear(vscrap* self) {
  for (const KeyedElement& p : collectKeys(self, false)) slots<vscrapDictionaryClassRec>(self)->remove(self, p.key);
}

// Anonymous keys: six characters of a running number stand for the "X"s.
vname anonymousKey() {
  static std::uint32_t serial = 0;
  static constexpr char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  char key[] = "AnonymousXXXXXX";
  std::uint32_t n = serial++;
  for (int i = 14; i >= 9; --i, n /= 36) key[i] = digits[n % 36];
  return vnameIntern(vscribeCString(key));
}

// Gives up rather than overwrite an element that is in use.
void dictionaryAdd(vscrap* self, vinstance* element) {
  auto* rec = slots<vscrapDictionaryClassRec>(self);
  for (int attempt = 0; attempt < 9999; ++attempt) {
    vname key = anonymousKey();
    vinstance* existing = rec->get(self, key);
    if (!existing) {
      rec->set(self, key, element);
      return;
    }
    vinstanceDestroy(existing);
  }
  vinstanceDestroy(element);
  vexGenerateMessage(&vexModuleLimitClass, "no free anonymous key in the dictionary");
}

void dictionaryExport(vscrap* self, vscrap* target) {
  Level level;
  auto* rec = slots<vscrapDictionaryClassRec>(target);
  rec->clear(target);
  HeldIterator it{vscrapIteratorCreate(iteratorClassOf(self), *self)};
  auto* iterRec = static_cast<vscrapDictionaryIteratorClassRec*>(it.it->cls);
  while (vscrapIteratorNext(it.it)) rec->set(target, iterRec->currentKey(it.it), iterRec->currentElement(it.it));
}

void dumpDictionary(vscrap* self, std::FILE* stream) {
  Level level;
  stream = orError(stream);
  std::vector<KeyedElement> pairs = collectKeys(self, true);
  std::sort(pairs.begin(), pairs.end(), [](const KeyedElement& a, const KeyedElement& b) {
    return std::strcmp(a.key ? a.key : "", b.key ? b.key : "") < 0;
  });
  struct Release {
    std::vector<KeyedElement>& pairs;
    ~Release() {
      for (KeyedElement& p : pairs)
        if (p.element) vinstanceDestroy(p.element);
    }
  } release{pairs};
  vdebugFputs("<", stream);
  for (KeyedElement& p : pairs) {
    vdebugFprintf(stream, "\n%s:\t", p.key ? p.key : "");
    if (p.element) vscrapDump(vscrapWalk(p.element), stream);
  }
  vdebugFputs("\n>\n", stream);
}

vinstance* dictionaryNoGet(vscrap* self, vname) { vscrapRaiseUnimplemented(self); }
void dictionaryNoSet(vscrap* self, vname, vinstance* element) {
  vinstanceDestroy(element);
  vscrapRaiseUnimplemented(self);
}
void dictionaryNoRemove(vscrap* self, vname) { vscrapRaiseUnimplemented(self); }

// Iterators.
void iteratorInit(vinstance* self) {
  vdelegatorInitIterator(&static_cast<vscrapIterator*>(self)->walk, nullptr);
  static_cast<vscrapIterator*>(self)->walk.depth = -1;
}
void iteratorStart(vscrapIterator* it, vscrap* scrap) { vdelegatorCopyIterator(&it->walk, scrap); }
void iteratorFinish(vscrapIterator*) {}
int iteratorNext(vscrapIterator*) { return 0; }
vinstance* iteratorNoElement(vscrapIterator*) { return nullptr; }
std::int32_t iteratorNoIndex(vscrapIterator*) { return 0; }
vname iteratorEmptyKey(vscrapIterator*) { return vname_Empty; }

void basicArrayStart(vscrapIterator* it, vscrap* scrap) {
  iteratorStart(it, scrap);
  auto* a = static_cast<vscrapBasicArrayIterator*>(it);
  a->count = vscrapGetArrayCount(it->walk);
  a->index = -1;
}
int basicArrayNext(vscrapIterator* it) {
  auto* a = static_cast<vscrapBasicArrayIterator*>(it);
  if (a->index < a->count) ++a->index;
  return a->index < a->count;
}
vinstance* basicArrayElement(vscrapIterator* it) {
  return vscrapGetArrayElement(it->walk, static_cast<vscrapBasicArrayIterator*>(it)->index);
}
std::int32_t basicArrayKey(vscrapIterator* it) { return static_cast<vscrapBasicArrayIterator*>(it)->index; }

// vscrapReference.
void referenceInit(vinstance* self) {
  vinstanceGetDefaultClass()->init(self);
  static_cast<vscrapReference*>(self)->object = nullptr;
}
vinstance* referenceNext(vinstance* self, vinstance* previous, int) {
  return previous ? nullptr : static_cast<vscrapReference*>(self)->object;
}

template <class Rec>
Rec* spawn(vclass* super, const char* name, std::size_t instanceSize = 0) {
  auto* c = vclassSpawnOf<Rec>(super);
  vclassSetName(c, vscribeLiteral(name));
  if (instanceSize) c->instanceSize = instanceSize;
  return c;
}

template <class T, class Rec = vscrapValueClassRec<T>>
Rec* valueKind(vclass* super, const char* name, void (*dump)(vscrap*, std::FILE*)) {
  auto* c = spawn<Rec>(super, name);
  c->kindClass = c;
  if (dump) c->dump = dump;
  c->exportTo = valueExport<T>;
  c->set = unimplementedSet<T>;
  c->get = unimplementedGet<T>;
  return c;
}

void buildValueClasses(ScrapState* s) {
  auto* conv = spawn<vscrapConvertibleClassRec>(vdelegatorGetDefaultClass(), "vscrapConvertible");
  conv->dump = convertibleDump;
  conv->kindClass = nullptr;
  conv->exportTo = convertibleExport;
  conv->import = defaultImport;
  s->convertible = conv;
  auto* ref = spawn<vdelegatorClassRec>(vdelegatorGetDefaultClass(), "vscrapReference", sizeof(vscrapReference));
  ref->init = referenceInit;
  ref->nextDelegate = referenceNext;
  s->reference = ref;
  auto* typeable = spawn<vscrapTypeableClassRec>(conv, "vscrapTypeable");
  typeable->import = typeableImport;
  typeable->entype = [](vscrap*, vclass*) { return 0; };
  s->typeable = typeable;
  s->boolean = valueKind<int>(conv, "vscrapBoolean", dumpBoolean);
  s->character = valueKind<char>(conv, "vscrapCharacter", dumpCharacter);
  s->fixed = valueKind<std::int32_t>(conv, "vscrapFixed", dumpFixed);
  s->integer = valueKind<std::int32_t>(conv, "vscrapInteger", dumpInteger);
  s->floating = valueKind<double>(conv, "vscrapFloat", dumpFloat);
  s->string = valueKind<vscribe*>(conv, "vscrapString", dumpString);
  s->tag = valueKind<vname>(conv, "vscrapTag", dumpTag);
  s->pointer = valueKind<void*>(conv, "vabstractPointer", nullptr);
  s->datatag = valueKind<void*>(conv, "vabstractDatatag", nullptr);
  s->longlong = valueKind<std::int64_t>(conv, "vabstractLonglong", nullptr);
  s->scrapValue = valueKind<vinstance*>(conv, "vabstractScrap", nullptr);
  auto* u = valueKind<std::int32_t, vabstractUnionClassRec>(conv, "vabstractUnion", nullptr);
  u->getMember = [](vscrap* self) -> vinstance* { vscrapRaiseUnimplemented(self); };
  u->setMember = [](vscrap* self, vinstance* value) {
    if (value) vinstanceDestroy(value);
    vscrapRaiseUnimplemented(self);
  };
  s->unionValue = u;
}

void buildIteratorClasses(ScrapState* s) {
  auto* it = spawn<vscrapIteratorClassRec>(vinstanceGetDefaultClass(), "vscrapIterator", sizeof(vscrapIterator));
  it->init = iteratorInit;
  it->start = iteratorStart;
  it->finish = iteratorFinish;
  it->next = iteratorNext;
  s->iterator = it;
  auto* ci = spawn<vscrapCompoundIteratorClassRec>(it, "vscrapCompoundIterator");
  ci->currentElement = iteratorNoElement;
  s->compoundIterator = ci;
  auto* ai = spawn<vscrapArrayIteratorClassRec>(ci, "vscrapArrayIterator");
  ai->currentKey = iteratorNoIndex;
  s->arrayIterator = ai;
  auto* di = spawn<vscrapDictionaryIteratorClassRec>(ci, "vscrapDictionaryIterator");
  di->currentKey = iteratorEmptyKey;
  s->dictionaryIterator = di;
  auto* bi = spawn<vscrapArrayIteratorClassRec>(ai, "vscrapBasicArrayIterator", sizeof(vscrapBasicArrayIterator));
  bi->start = basicArrayStart;
  bi->next = basicArrayNext;
  bi->currentElement = basicArrayElement;
  bi->currentKey = basicArrayKey;
  s->basicArrayIterator = bi;
}

void buildCompoundClasses(ScrapState* s) {
  auto* block = spawn<vscrapBlockClassRec>(s->convertible, "vscrapBlock");
  block->kindClass = block;
  block->dump = dumpBlock;
  block->exportTo = blockExport;
  block->getSize = blockNoSize;
  block->setSize = blockSetSize;
  block->read = blockRead;
  block->write = blockWrite;
  s->block = block;
  auto* compound = spawn<vscrapCompoundClassRec>(s->convertible, "vscrapCompound");
  compound->kindClass = compound;
  compound->dump = dumpCompound;
  compound->exportTo = compoundExport;
  compound->iteratorClass = s->compoundIterator;
  compound->clear = compoundUnimplemented;
  compound->add = compoundAddUnimplemented;
  s->compound = compound;
  auto* array = spawn<vscrapArrayClassRec>(compound, "vscrapArray");
  array->kindClass = array;
  array->dump = dumpArray;
  array->exportTo = arrayExport;
  array->iteratorClass = s->basicArrayIterator;
  array->clear = arrayClear;
  array->add = arrayAdd;
  array->getCount = arrayNoCount;
  array->setCount = arrayNoSetCount;
  array->getElement = arrayNoGet;
  array->setElement = arrayNoSet;
  s->array = array;
  auto* dict = spawn<vscrapDictionaryClassRec>(compound, "vscrapDictionary");
  dict->kindClass = dict;
  dict->dump = dumpDictionary;
  dict->exportTo = dictionaryExport;
  dict->iteratorClass = s->dictionaryIterator;
  dict->clear = dictionaryClear;
  dict->add = dictionaryAdd;
  dict->get = dictionaryNoGet;
  dict->set = dictionaryNoSet;
  dict->remove = dictionaryNoRemove;
  s->dictionary = dict;
  auto* arglist = spawn<vscrapCompoundClassRec>(compound, "vabstractArglist");
  arglist->kindClass = arglist;
  s->arglist = arglist;
}

ScrapState* state() {
  if (auto* bound = vmoduleState<ScrapState>(scrapSlot)) return bound;
  vdelegatorGetDefaultClass();
  auto* s = static_cast<ScrapState*>(vmoduleBindSlot(scrapSlot, sizeof(ScrapState)));
  *s = ScrapState{};
  buildValueClasses(s);
  buildIteratorClasses(s);
  buildCompoundClasses(s);
  return s;
}

}  // namespace

const vexClass vexScrapClass{&vexRootClass, "Scrap", 36, nullptr, sizeof(vexException)};
const vexClass vexScrapUnimplementedClass{&vexScrapClass, "Unimplemented", 92, printUnimplemented,
                                          sizeof(vscrapUnimplementedException)};
const vexClass vexScrapCannotConvertClass{&vexScrapClass, "CannotConvert", 140, printCannotConvert,
                                          sizeof(vscrapCannotConvertException)};

void vscrapRaiseUnimplemented(const vscrap* walk) {
  _vexGenerate(&vexScrapUnimplementedClass, setUnimplemented, walk, vexEnd);
}
void vscrapRaiseCannotConvert(const vscrap* from, const vscrap* to) {
  _vexGenerate(&vexScrapCannotConvertClass, setCannotConvert, from, to, vexEnd);
}

vdelegatorClassRec* vscrapGetReferenceClass() { return state()->reference; }
vscrapConvertibleClassRec* vscrapGetConvertibleClass() { return state()->convertible; }
vscrapTypeableClassRec* vscrapGetTypeableClass() { return state()->typeable; }
vscrapBooleanClassRec* vscrapGetBooleanClass() { return state()->boolean; }
vscrapCharacterClassRec* vscrapGetCharacterClass() { return state()->character; }
vscrapFixedClassRec* vscrapGetFixedClass() { return state()->fixed; }
vscrapIntegerClassRec* vscrapGetIntegerClass() { return state()->integer; }
vscrapFloatClassRec* vscrapGetFloatClass() { return state()->floating; }
vscrapStringClassRec* vscrapGetStringClass() { return state()->string; }
vscrapTagClassRec* vscrapGetTagClass() { return state()->tag; }
vscrapBlockClassRec* vscrapGetBlockClass() { return state()->block; }
vscrapCompoundClassRec* vscrapGetCompoundClass() { return state()->compound; }
vscrapArrayClassRec* vscrapGetArrayClass() { return state()->array; }
vscrapDictionaryClassRec* vscrapGetDictionaryClass() { return state()->dictionary; }
vscrapIteratorClassRec* vscrapGetIteratorClass() { return state()->iterator; }
vscrapCompoundIteratorClassRec* vscrapGetCompoundIteratorClass() { return state()->compoundIterator; }
vscrapArrayIteratorClassRec* vscrapGetArrayIteratorClass() { return state()->arrayIterator; }
vscrapArrayIteratorClassRec* vscrapGetBasicArrayIteratorClass() { return state()->basicArrayIterator; }
vscrapDictionaryIteratorClassRec* vscrapGetDictionaryIteratorClass() { return state()->dictionaryIterator; }
vscrapCompoundClassRec* vabstractGetArglistClass() { return state()->arglist; }
vscrapValueClassRec<void*>* vabstractGetPointerClass() { return state()->pointer; }
vscrapValueClassRec<void*>* vabstractGetDatatagClass() { return state()->datatag; }
vscrapValueClassRec<std::int64_t>* vabstractGetLonglongClass() { return state()->longlong; }
vscrapValueClassRec<vinstance*>* vabstractGetScrapClass() { return state()->scrapValue; }
vabstractUnionClassRec* vabstractGetUnionClass() { return state()->unionValue; }

void vscrapGetDefaultClass() {
  vscrapGetConvertibleClass();
  vinstanceDestroy(vscrapCreateNativeTypeable());
}

void vscrapInstallStartup() { vmoduleInstallStartup("vscrapGetDefaultClass", vscrapGetDefaultClass); }

vscrap vscrapWalk(vinstance* object) {
  vscrap w;
  vdelegatorInitIterator(&w, object);
  return w;
}

vscrapReference* vscrapCreateReference(vinstance* object) {
  auto* r = static_cast<vscrapReference*>(vinstanceCreate(vscrapGetReferenceClass()));
  r->object = object;
  return r;
}

void vscrapDump(vscrap scrap, std::FILE* stream) {
  vscrap w = positioned(scrap, vscrapGetConvertibleClass());
  slots<vscrapConvertibleClassRec>(&w)->dump(&w, stream);
}

void vscrapRaiseTooDeep() { vexGenerateMessage(&vexModuleLimitClass, vscrapTOO_DEEP); }
bool vscrapRaisedTooDeep() {
  vexException* e = vexGetCurrentException();
  return e && e->cls == &vexModuleLimitClass && e->message == vscrapTOO_DEEP;
}

void vscrapImport(vscrap source, vscrap target) {
  vscrap s = source;
  vscrap t = positioned(target, vscrapGetConvertibleClass());
  vclass* convertible = vscrapGetConvertibleClass();
  if (s.depth >= 0) do {
      vinstance* d = at(&s);
      if (!vclassIsSubclass(d->cls, convertible) || !static_cast<vscrapConvertibleClassRec*>(d->cls)->kindClass)
        continue;
      s.cursor = s.depth;
      bool done = true;
      vexGuard([&] { slots<vscrapConvertibleClassRec>(&t)->import(&t, &s); },
               [&](vexHandler& h) {
                 // A failed attempt leaves the chain as it was.
                 if (vscrapRaisedTooDeep()) _vexGenerate(nullptr);
                 vexSetCurrentException(h.savedChain);
                 done = false;
               });
      if (done) return;
    } while (vdelegatorNextIterator(&s, 0));
  vscrapRaiseCannotConvert(&source, &target);
}

// Kind accessors.
namespace {
template <class Rec>
vscrap on(vscrap scrap, Rec* cls) {
  return positioned(scrap, cls);
}
}  // namespace

#define VSCRAP_VALUE_ACCESSORS(Kind, T)                                  \
  T vscrapGet##Kind(vscrap scrap) {                                      \
    vscrap w = on(scrap, vscrapGet##Kind##Class());                      \
    return slots<vscrapValueClassRec<T>>(&w)->get(&w);                   \
  }                                                                      \
  void vscrapSet##Kind(vscrap scrap, T value) {                          \
    vscrap w = on(scrap, vscrapGet##Kind##Class());                      \
    slots<vscrapValueClassRec<T>>(&w)->set(&w, value);                   \
  }
VSCRAP_VALUE_ACCESSORS(Boolean, int)
VSCRAP_VALUE_ACCESSORS(Character, char)
VSCRAP_VALUE_ACCESSORS(Fixed, std::int32_t)
VSCRAP_VALUE_ACCESSORS(Integer, std::int32_t)
VSCRAP_VALUE_ACCESSORS(Float, double)
VSCRAP_VALUE_ACCESSORS(String, vscribe*)
VSCRAP_VALUE_ACCESSORS(Tag, vname)
#undef VSCRAP_VALUE_ACCESSORS

std::size_t vscrapGetBlockSize(vscrap scrap) {
  vscrap w = on(scrap, vscrapGetBlockClass());
  return slots<vscrapBlockClassRec>(&w)->getSize(&w);
}
void vscrapSetBlockSize(vscrap scrap, std::size_t size) {
  vscrap w = on(scrap, vscrapGetBlockClass());
  slots<vscrapBlockClassRec>(&w)->setSize(&w, size);
}
void vscrapReadBlock(vscrap scrap, std::size_t offset, std::size_t count, void* buffer) {
  vscrap w = on(scrap, vscrapGetBlockClass());
  slots<vscrapBlockClassRec>(&w)->read(&w, offset, count, buffer);
}
void vscrapWriteBlock(vscrap scrap, std::size_t offset, std::size_t count, const void* buffer) {
  vscrap w = on(scrap, vscrapGetBlockClass());
  slots<vscrapBlockClassRec>(&w)->write(&w, offset, count, buffer);
}
std::int32_t vscrapGetArrayCount(vscrap scrap) {
  vscrap w = on(scrap, vscrapGetArrayClass());
  return slots<vscrapArrayClassRec>(&w)->getCount(&w);
}
void vscrapSetArrayCount(vscrap scrap, std::int32_t count) {
  vscrap w = on(scrap, vscrapGetArrayClass());
  slots<vscrapArrayClassRec>(&w)->setCount(&w, count);
}
vinstance* vscrapGetArrayElement(vscrap scrap, std::int32_t index) {
  vscrap w = on(scrap, vscrapGetArrayClass());
  return slots<vscrapArrayClassRec>(&w)->getElement(&w, index);
}
void vscrapSetArrayElement(vscrap scrap, std::int32_t index, vinstance* element) {
  vscrap w = on(scrap, vscrapGetArrayClass());
  slots<vscrapArrayClassRec>(&w)->setElement(&w, index, element);
}
vinstance* vscrapGetDictionaryElement(vscrap scrap, vname key) {
  vscrap w = on(scrap, vscrapGetDictionaryClass());
  return slots<vscrapDictionaryClassRec>(&w)->get(&w, key);
}
void vscrapSetDictionaryElement(vscrap scrap, vname key, vinstance* element) {
  vscrap w = on(scrap, vscrapGetDictionaryClass());
  slots<vscrapDictionaryClassRec>(&w)->set(&w, key, element);
}
void vscrapRemoveDictionaryElement(vscrap scrap, vname key) {
  vscrap w = on(scrap, vscrapGetDictionaryClass());
  slots<vscrapDictionaryClassRec>(&w)->remove(&w, key);
}
void vscrapClearCompound(vscrap scrap) {
  vscrap w = on(scrap, vscrapGetCompoundClass());
  slots<vscrapCompoundClassRec>(&w)->clear(&w);
}
void vscrapAddCompoundElement(vscrap scrap, vinstance* element) {
  vscrap w = on(scrap, vscrapGetCompoundClass());
  slots<vscrapCompoundClassRec>(&w)->add(&w, element);
}
int vscrapEntype(vscrap scrap, vclass* kind) {
  vscrap w = on(scrap, vscrapGetTypeableClass());
  return slots<vscrapTypeableClassRec>(&w)->entype(&w, kind);
}
vscrapIterator* vscrapCreateCompoundIterator(vscrap scrap) {
  vscrap w = on(scrap, vscrapGetCompoundClass());
  return vscrapIteratorCreate(iteratorClassOf(&w), w);
}

vscrapIterator* vscrapIteratorCreate(vclass* iteratorClass, vscrap scrap) {
  auto* it = static_cast<vscrapIterator*>(vinstanceCreate(iteratorClass));
  vexGuard([&] { static_cast<vscrapIteratorClassRec*>(iteratorClass)->start(it, &scrap); },
           [&](vexHandler&) {
             vinstanceDestroy(it);
             _vexGenerate(nullptr);
           });
  return it;
}
void vscrapIteratorDestroy(vscrapIterator* it) {
  vclassRec<vscrapIteratorClassRec>(it)->finish(it);
  vinstanceDestroy(it);
}
int vscrapIteratorNext(vscrapIterator* it) { return vclassRec<vscrapIteratorClassRec>(it)->next(it); }
vinstance* vscrapIteratorCurrentElement(vscrapIterator* it) {
  return vclassRec<vscrapCompoundIteratorClassRec>(it)->currentElement(it);
}
