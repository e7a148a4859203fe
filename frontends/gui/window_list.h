// The open windows of one kind, each beside the record the window road
// keeps for it: the two lookups every kind makes, from the record and
// from the list view that received an event.
#pragma once

#include <list>

namespace gui {

struct sim_window;

template <class W>
struct window_list : std::list<W> {
  W* of(const sim_window* record) {
    for (W& w : *this)
      if (w.record == record) return &w;
    return nullptr;
  }
  // A kind's list view sits in the window, or in its view of a listing.
  template <class L>
  W* of_list(const L* list) {
    for (W& w : *this) {
      if constexpr (requires { w.list; }) {
        if (w.list == list) return &w;
      } else {
        if (w.view.list == list) return &w;
      }
    }
    return nullptr;
  }
};

}  // namespace gui
