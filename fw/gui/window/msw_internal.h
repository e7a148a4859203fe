// What the window-system layer's source files share: the one process-wide
// state record and the steps one file calls in another.
#pragma once
#include <cstdint>
#include <string>

#include "fw/gui/window/msw.h"

struct vwindowMSWKeptPopup {
  win::HWND hwnd;
  win::HDC dc;  // its primary context, kept with it
};

struct vwindowMSWState {
  bool started;
  int startupCount;
  win::HCURSOR arrow, wait;
  win::UINT destroyMessage;
  vwindowMSWDisplay display;
  int monochrome;
  win::HINSTANCE instance;
  std::string classNames[8];  // registered on first need
  std::string rootClassName;
  // The registry: open addressing keyed by native handle.
  vwindow** slots;
  std::size_t size;
  std::size_t count;
  // The modal stack; its top is the current modal window.
  vwindow** modal;
  int modalCount;
  int modalCapacity;
  vwindow* currentModal;
  int grabBlocks;
  bool nativeCapture;  // off with "nograb"
  bool modalGrab;      // "modalgrab"
  bool badCreateDIBitmap;
  win::HMODULE user32;
  win::HMODULE aux;  // "vwex_aux", older systems only
  win::FARPROC endMenu;
  win::FARPROC auxGetRgnData;
  // The window whose native window is being made: it gets every message of
  // a handle not registered yet.
  vwindow* creating;
  vwindowMSWKeptPopup kept;
  int topLevelCount;
  int pendingUpdates;
  vpool* natives;
};

vwindowMSWState& _vwindowMSW();

// The state record is shared; these say what the layer's version tests read.
bool _vwindowMSWOldSystem();  // before version 4 and not NT
int _vwindowMSWMajorVersion();
// Module/Limit unless the display blits, keeps large bitmaps and takes
// device-independent ones.
void _vwindowMSWCheckRasterCaps(int caps);
// The current application, or the default one while it is being made.
struct vapplication;
vapplication* _vwindowMSWApplication();

// Registry (msw_registry.cpp).
void _vwindowMSWCreateRegistry(std::size_t minimum);
void _vwindowMSWFreeRegistry();
void _vwindowMSWRegister(vwindow* w);

// Native sides (msw_open.cpp).
vwindowMSWNative* _vwindowMSWNewNative();
void _vwindowMSWFreeNative(vwindowMSWNative* n);
void _vwindowMSWCloseNative(vwindow* w);
void _vwindowMSWUnregisterClasses();
void _vwindowMSWDestroyKeptPopup();
// The native title: the window's, else its application's cut at the first ".".
std::string _vwindowMSWTitle(vwindow* w);
void _vwindowMSWChooseIconAndCursor(vwindow* w);
// Framework rectangle -> native outer rectangle (left, top, width, height).
void _vwindowMSWOuterRect(vwindow* w, int* x, int* y, int* width, int* height);

// Rectangle lists (msw_damage.cpp).
void _vwindowMSWClearList(vwindowMSWRectList* list);
void _vwindowMSWInitList(vwindowMSWRectList* list);

// The window class's slots this layer fills.
void _vwindowMSWFillSlots(vwindowClassRec* c);

// Start-up step 6's graphics set-up (msw_graphics.cpp).
void _vwindowMSWStartPalette();
void _vwindowMSWStartFonts();
void _vwindowMSWFreeGraphics();

// Registrations (msw_register.cpp): level 6's system colours and fonts.
void _vwindowMSWWriteRegistrations();
void _vwindowMSWFreeRegistrations();
// The point size of a Windows font on the screen.
int _vwindowMSWPointSize(const win::LOGFONTA& font);

// For tests: the version the layer takes the system for (0: the real
// one), and the shutdown the exit handler runs.
void _vwindowMSWSetVersion(win::DWORD version);
void _vwindowMSWShutdown();
