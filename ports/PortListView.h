// List-view steps shared by the port-type list and the two port dialogs.
#pragma once

#include <functional>

#include "platform/Window.h"
#include "ports/PortEnumeration.h"

namespace ports {

// Deletes every row, then column 0 as many times as the header has items.
void ClearList(ui::ListView& list);

// Read, clear track-select (0x08), set grid lines and full-row select (0x21), write back.
void ApplyPortListStyle(ui::ListView& list);

// Selects and focuses one row; in a single-selection list the others lose the selection.
// A negative row selects nothing.
void SelectRow(ui::ListView& list, int row);

// The first selected row, or -1.
int FirstSelectedRow(const ui::ListView& list);

// The port dialogs' list: cleared, a fresh enumeration (no limit on the count), the style,
// columns "Port" (125) and "Description" (300), a row per kept record, row 0 selected.
void FillPortList(ui::ListView& list, const std::function<bool(const PortRecord&)>& keep);

}  // namespace ports
