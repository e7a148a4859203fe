// The per-device stream lists (device_state::streams): lookups and
// removal. The input and output streams fill these in with their records;
// until then every list is empty.
#pragma once

#include <cstdint>

struct io_stream;

// The stream of a list watching an item: kind and two keys as the stream
// records hold them. Null when none.
io_stream* find_stream(io_stream* list, int kind, uint32_t key1, uint32_t key2);
io_stream* find_stream_by_number(io_stream* list, int number);
// Mode 0 removes the streams whose item name is `name`, 1 every stream,
// 2 + n stream n. A removed stream's file is closed and its memory tag or
// register watch bits cleared.
void free_streams(io_stream** list, const char* name, int mode);
