// The Input and Output windows: one row per open stream of a device, in
// ascending stream number, naming whether it is timed, its item and file.
#pragma once

namespace gui {

void register_stream_windows();

}  // namespace gui
