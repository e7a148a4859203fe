// Native printing: the print class that draws each page with the GDI
// driver into a printer's device context, runs the Print and Print Setup
// dialogs and brackets the document with the spooler calls.
#pragma once
#include <array>
#include <cstdint>

#include "fw/gui/print/print.h"
#include "platform/win.h"

vprintClassRec* vprintsysNativeGetDefaultClass();

extern const vexClass vprintNoDefaultPrinterClass;  // derived from State
extern const vexClass vprintCanceledClass;          // derived from State

// The printer-dialog record as stored: the packed 32-bit layout, little
// endian, handles and pointers written as 0.
std::array<std::uint8_t, win::PRINTDLG_PACKED_SIZE> vprintMSWPackPrintDlg(const win::PRINTDLGA* pd);
void vprintMSWUnpackPrintDlg(const std::uint8_t* bytes, win::PRINTDLGA* pd);
