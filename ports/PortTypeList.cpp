// Fills the port-type list view: two columns, four rows, the first one selected.
#include "ports/PortTypeList.h"

#include <array>

#include "ports/PortListView.h"

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
    ClearList(list);
    ApplyPortListStyle(list);
    list.InsertColumn(0, "Port", 110);
    list.InsertColumn(1, "Description", 450);
    list.SetColumnWidth(0, 110);
    list.SetColumnWidth(1, 450);
    for (size_t i = 0; i < kRows.size(); ++i) {
        const int row = list.InsertItem(static_cast<int>(i), kRows[i].port);
        list.SetItemText(row, 1, kRows[i].description);
    }
    SelectRow(list, 0);
}

}  // namespace ports
