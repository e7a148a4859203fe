#include "sim/prof/ordered_list.h"

#include <algorithm>
#include <vector>

#include "sim/prof/prof_support.h"

std::array<prof_comparator, COMPARATOR_COUNT> prof_comparators{};

namespace {

int height_of(const list_node* n) { return n != nullptr ? n->height : 0; }

void update(list_node* n) { n->height = 1 + std::max(height_of(n->left), height_of(n->right)); }

list_node* rotate_right(list_node* n) {
  list_node* l = n->left;
  n->left = l->right;
  l->right = n;
  update(n);
  update(l);
  return l;
}

list_node* rotate_left(list_node* n) {
  list_node* r = n->right;
  n->right = r->left;
  r->left = n;
  update(n);
  update(r);
  return r;
}

list_node* balance(list_node* n) {
  update(n);
  const int diff = height_of(n->left) - height_of(n->right);
  if (diff > 1) {
    if (height_of(n->left->left) < height_of(n->left->right)) n->left = rotate_left(n->left);
    return rotate_right(n);
  }
  if (diff < -1) {
    if (height_of(n->right->right) < height_of(n->right->left)) n->right = rotate_right(n->right);
    return rotate_left(n);
  }
  return n;
}

list_node* remove_min(list_node* n, list_node*& min) {
  if (n->left == nullptr) {
    min = n;
    return n->right;
  }
  n->left = remove_min(n->left, min);
  return balance(n);
}

}  // namespace

ordered_list::ordered_list(int comparator, prof_pool* pool) : comparator_(comparator), pool_(pool) {}

ordered_list::~ordered_list() { clear(false); }

list_node* ordered_list::make_node(void* element) {
  auto* n = static_cast<list_node*>(pool_ != nullptr ? pool_->allocate(sizeof(list_node))
                                                     : prof_alloc(sizeof(list_node)));
  n->height = 1;
  n->left = n->right = nullptr;
  n->element = element;
  return n;
}

void ordered_list::free_node(list_node* n) {
  if (pool_ == nullptr) prof_free(n);
}

list_node* ordered_list::insert_at(list_node* n, list_node* fresh, bool duplicates, bool& added) {
  if (n == nullptr) {
    added = true;
    return fresh;
  }
  const int c = compare(fresh->element, n->element);
  if (c == CMP_EQUAL && !duplicates) return n;
  if (c == CMP_LESS)
    n->left = insert_at(n->left, fresh, duplicates, added);
  else
    n->right = insert_at(n->right, fresh, duplicates, added);
  return balance(n);
}

bool ordered_list::insert(void* element, bool duplicates) {
  list_node* fresh = make_node(element);
  bool added = false;
  root_ = insert_at(root_, fresh, duplicates, added);
  if (added)
    ++count_;
  else
    free_node(fresh);
  return added;
}

void* ordered_list::find(const void* key, int mode) const {
  // The leftmost equal element; else the nearest on the asked side.
  const list_node* equal = nullptr;
  const list_node* below = nullptr;
  const list_node* above = nullptr;
  for (const list_node* n = root_; n != nullptr;) {
    const int c = compare(key, n->element);
    if (c == CMP_EQUAL) {
      equal = n;
      n = n->left;
    } else if (c == CMP_LESS) {
      above = n;
      n = n->left;
    } else {
      below = n;
      n = n->right;
    }
  }
  if (equal != nullptr) return equal->element;
  if (mode == FIND_BELOW) return below != nullptr ? below->element : nullptr;
  if (mode == FIND_ABOVE) return above != nullptr ? above->element : nullptr;
  return nullptr;
}

list_node* ordered_list::remove_at(list_node* n, const void* key, list_node*& removed) {
  if (n == nullptr) return nullptr;
  const int c = compare(key, n->element);
  // The leftmost equal element goes: look left first.
  if (c == CMP_EQUAL && n->left != nullptr) {
    n->left = remove_at(n->left, key, removed);
    if (removed != nullptr) return balance(n);
  }
  if (c == CMP_EQUAL) {
    removed = n;
    if (n->right == nullptr) return n->left;
    list_node* min = nullptr;
    list_node* right = remove_min(n->right, min);
    min->left = n->left;
    min->right = right;
    return balance(min);
  }
  if (c == CMP_LESS)
    n->left = remove_at(n->left, key, removed);
  else
    n->right = remove_at(n->right, key, removed);
  return balance(n);
}

void* ordered_list::remove(const void* key, int mode) {
  list_node* removed = nullptr;
  root_ = remove_at(root_, key, removed);
  if (removed == nullptr) return nullptr;
  --count_;
  void* element = removed->element;
  free_node(removed);
  if (mode == DELETE_FREE) {
    prof_free(element);
    return nullptr;
  }
  return element;
}

void ordered_list::walk(void (*visit)(void*, void*), void* context, int order, bool descending) const {
  struct walker {
    void (*visit)(void*, void*);
    void* context;
    int order;
    bool descending;
    void go(const list_node* n) const {
      if (n == nullptr) return;
      const list_node* first = descending ? n->right : n->left;
      const list_node* second = descending ? n->left : n->right;
      if (order == WALK_PRE) visit(n->element, context);
      go(first);
      if (order == WALK_IN) visit(n->element, context);
      go(second);
      if (order == WALK_POST) visit(n->element, context);
    }
  };
  walker{visit, context, order, descending}.go(root_);
}

void ordered_list::resort(int comparator, bool in_place) {
  std::vector<list_node*> nodes;
  nodes.reserve(static_cast<std::size_t>(count_));
  for (iterator it = begin(); it.depth_ > 0;) {
    list_node* n = it.stack_[static_cast<std::size_t>(it.depth_ - 1)];
    it.next();
    nodes.push_back(n);
  }
  comparator_ = comparator;
  root_ = nullptr;
  count_ = 0;
  for (list_node* n : nodes) {
    void* element = n->element;
    list_node* fresh = n;
    if (!in_place) {
      free_node(n);
      fresh = make_node(element);
    }
    fresh->height = 1;
    fresh->left = fresh->right = nullptr;
    bool added = false;
    root_ = insert_at(root_, fresh, true, added);
    ++count_;
  }
}

void ordered_list::free_tree(list_node* n, bool elements) {
  if (n == nullptr) return;
  free_tree(n->left, elements);
  free_tree(n->right, elements);
  if (elements) prof_free(n->element);
  free_node(n);
}

void ordered_list::clear(bool elements) {
  free_tree(root_, elements);
  root_ = nullptr;
  count_ = 0;
}

void ordered_list::iterator::push_left(list_node* n) {
  for (; n != nullptr && depth_ < static_cast<int>(stack_.size()); n = n->left)
    stack_[static_cast<std::size_t>(depth_++)] = n;
}

void* ordered_list::iterator::next() {
  if (depth_ == 0) return nullptr;
  list_node* n = stack_[static_cast<std::size_t>(--depth_)];
  push_left(n->right);
  return n->element;
}

ordered_list::iterator ordered_list::begin(const void* key) const {
  iterator it;
  if (key == nullptr) {
    it.push_left(root_);
    return it;
  }
  // The path to the first element not below the key: nodes at or above
  // the key stay on the stack.
  for (list_node* n = root_; n != nullptr && it.depth_ < static_cast<int>(it.stack_.size());) {
    if (compare(key, n->element) == CMP_GREATER) {
      n = n->right;
    } else {
      it.stack_[static_cast<std::size_t>(it.depth_++)] = n;
      n = n->left;
    }
  }
  return it;
}
