// The channel driver for "tcp" and "udp" over Windows Sockets 1.1, whose
// functions are fetched by name from "wsock32.dll". Notifications arrive as
// message 1024 on a hidden window and become channel events.
#pragma once
#include "fw/core/name.h"

struct vcommDriver;

void vcommSocketDriverStartup();
vname vcommSocketDriverGetTransport();
vcommDriver* vcommSocketDriverGet();  // null when Windows Sockets is missing

struct vcommChannel;
// The socket handle of a socket channel (-1 for none).
long vcommSocketDriverGetHandle(vcommChannel* channel);
