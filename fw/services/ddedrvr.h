// The channel driver for "dde": byte streams between applications on this
// computer over DDE. A listening channel is a DDE service name; a
// connection is a conversation on the topic "vcomm" whose item names the
// connection. Server-to-client bytes travel by advise loops, client-to-
// server bytes by pokes; each data item is the payload followed by trailing
// bytes whose last one holds their count.
#pragma once
#include "fw/core/name.h"

struct vcommDriver;
struct vcommChannel;

// Starts once per module context; registers the driver under "dde".
vname vcommDdeDriverStartup();
vcommDriver* vcommDdeDriverGet();  // null when DDE could not start

// The conversation handle of a DDE channel as the 32-bit value it carries
// (0 for a listener or another driver's channel).
unsigned long vcommDdeDriverGetConversation(vcommChannel* channel);
