// Ordered lists of the profile tables: elements in a height-balanced
// binary tree, ordered by one of the comparators of a table, with
// iterators, find modes, deletion, walks and re-sorting.
#pragma once

#include <array>
#include <cstddef>

class prof_pool;

// A comparator answers CMP_GREATER when the first is greater, CMP_EQUAL,
// or CMP_LESS when the first is smaller.
enum cmp_result : int { CMP_GREATER = 0, CMP_EQUAL = 1, CMP_LESS = 2 };
using prof_comparator = int (*)(const void* a, const void* b);

// The comparator table, by index (filled by the profiler's node types).
constexpr int COMPARATOR_COUNT = 13;
extern std::array<prof_comparator, COMPARATOR_COUNT> prof_comparators;

// Find modes: the equal element only, or the nearest below or above.
enum find_mode : int { FIND_EQUAL = 1, FIND_BELOW = 2, FIND_ABOVE = 3 };
// Delete modes: keep the element, free it with its tree node (from the
// checked allocator; pooled elements are never freed singly), or only the
// tree node.
enum delete_mode : int { DELETE_KEEP = 0, DELETE_FREE = 1, DELETE_NODE = 2 };
// Walk orders.
enum walk_order : int { WALK_PRE = 0, WALK_IN = 1, WALK_POST = 2 };

struct list_node {
  int height;
  list_node* left;
  void* element;
  list_node* right;
};

class ordered_list {
 public:
  // Tree nodes come from the pool, or from checked allocation when null.
  ordered_list(int comparator, prof_pool* pool);
  ~ordered_list();
  ordered_list(const ordered_list&) = delete;
  ordered_list& operator=(const ordered_list&) = delete;

  // Inserts; an element equal to one already there is dropped (false)
  // unless `duplicates`, when it goes after the equal ones.
  bool insert(void* element, bool duplicates);
  void* find(const void* key, int mode) const;
  // Removes the first element equal to key; returns it (null when none).
  void* remove(const void* key, int mode);
  // Moves the elements into the order of another comparator; in place
  // reuses the tree nodes.
  void resort(int comparator, bool in_place);
  int count() const { return count_; }
  int height() const { return root_ != nullptr ? root_->height : 0; }
  int comparator() const { return comparator_; }
  // Visits every element; in order, ascending or descending.
  void walk(void (*visit)(void* element, void* context), void* context, int order,
            bool descending) const;
  // Empties the list; with `elements`, frees them too (checked allocation).
  void clear(bool elements);

  // In-order iteration from the first element not below a key (or from the
  // start); next() gives null at the end.
  class iterator {
   public:
    void* next();

   private:
    friend class ordered_list;
    std::array<list_node*, 64> stack_{};
    int depth_ = 0;
    void push_left(list_node* n);
  };
  iterator begin(const void* key = nullptr) const;

 private:
  list_node* make_node(void* element);
  void free_node(list_node* n);
  list_node* insert_at(list_node* n, list_node* fresh, bool duplicates, bool& added);
  list_node* remove_at(list_node* n, const void* key, list_node*& removed);
  void free_tree(list_node* n, bool elements);
  int compare(const void* a, const void* b) const { return prof_comparators[comparator_](a, b); }

  int comparator_;
  prof_pool* pool_;
  list_node* root_ = nullptr;
  int count_ = 0;
};
