// Fills the port-type list view: two columns, four rows, the first one selected.
#include "ports/PortTypeList.h"

#include <array>

namespace ports {
namespace {

struct Row {
    const char* port;
    const char* description;
};

constexpr std::array<Row, 4> kRows = {{
    {"Serial port", "The program will select a available serial port during instalation"},
    {"USB port", "The program will select a available USB port automatically"},
    {"Parallel port", "The program will prompt you to select a parallel port before install"},
    {"TCP/IP port", "The program will prompt you to create a TCP/IP port or configure"},
}};

}  // namespace

void FillPortTypeList(ui::ListView& list) {
    list.DeleteAllItems();
    for (int n = list.GetColumnCount(); n > 0; --n) {
        list.DeleteColumn(0);
    }
    unsigned style = list.GetExtendedStyle();
    style &= ~ui::ListView::ExTrackSelect;
    style |= ui::ListView::ExGridLines | ui::ListView::ExFullRowSelect;
    list.SetExtendedStyle(style);
    list.InsertColumn(0, "Port", 110);
    list.InsertColumn(1, "Description", 450);
    list.SetColumnWidth(0, 110);
    list.SetColumnWidth(1, 450);
    for (size_t i = 0; i < kRows.size(); ++i) {
        const int row = list.InsertItem(static_cast<int>(i), kRows[i].port);
        list.SetItemText(row, 1, kRows[i].description);
    }
    const unsigned both = ui::ListView::StateSelected | ui::ListView::StateFocused;
    list.SetItemState(0, ui::ListView::StateSelected, both);
}

}  // namespace ports
