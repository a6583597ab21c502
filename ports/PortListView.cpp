// List-view steps shared by the port-type list and the two port dialogs.
#include "ports/PortListView.h"

namespace ports {

void ClearList(ui::ListView& list) {
    list.DeleteAllItems();
    for (int n = list.GetColumnCount(); n > 0; --n) {
        list.DeleteColumn(0);
    }
}

void ApplyPortListStyle(ui::ListView& list) {
    unsigned style = list.GetExtendedStyle();
    style &= ~ui::ListView::ExTrackSelect;
    style |= ui::ListView::ExGridLines | ui::ListView::ExFullRowSelect;
    list.SetExtendedStyle(style);
}

void SelectRow(ui::ListView& list, int row) {
    if (row < 0) {
        return;  // -1 would set the state of every row
    }
    const unsigned both = ui::ListView::StateSelected | ui::ListView::StateFocused;
    list.SetItemState(row, ui::ListView::StateSelected, both);
}

int FirstSelectedRow(const ui::ListView& list) {
    const int rows = list.GetItemCount();
    for (int row = 0; row < rows; ++row) {
        if (list.GetItemState(row, ui::ListView::StateSelected) != 0) {
            return row;
        }
    }
    return -1;
}

void FillPortList(ui::ListView& list, const std::function<bool(const PortRecord&)>& keep) {
    ClearList(list);
    const std::vector<PortRecord> records = EnumeratePortRecords();
    ApplyPortListStyle(list);
    list.InsertColumn(0, "Port", 125);
    list.InsertColumn(1, "Description", 300);
    list.SetColumnWidth(0, 125);
    list.SetColumnWidth(1, 300);
    int rows = 0;
    for (const PortRecord& record : records) {
        if (keep(record)) {
            const int row = list.InsertItem(rows, record.name);
            list.SetItemText(row, 1, record.description);
            ++rows;
        }
    }
    SelectRow(list, 0);
}

}  // namespace ports
