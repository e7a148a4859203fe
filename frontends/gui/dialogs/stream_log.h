// Stream numbers as the stream dialogs propose and list them, and the
// region list of another device.
#pragma once

#include <string>
#include <vector>

struct io_stream;

namespace gui {

struct dialog_form;

// n = 0: the highest number in the list (0 when empty); else n when a
// stream has it, else the smallest number above n that one has, else 0.
int stream_number_lookup(int n, const io_stream* list);
// The smallest number from 1 up that no output (input) stream of the
// current device uses.
int next_output_number();
int next_input_number();
// "#%d" for each number the output (input) streams use, ascending.
std::vector<std::string> stream_numbers_fill(bool outputs);

// The device a "Dv%d" text names (device 0 when it names none).
int device_number_of(const std::string& text);
// The combo gets the region names of the device named by the device
// combo's text; the current device is the same afterwards, whatever way
// the fill ends.
void device_regions_fill(dialog_form& form, const char* item, const char* container, const char* device_item,
                         const char* device_container);

}  // namespace gui
