// "Select A Parallel Port": the spooler's "LPT" ports; Ok ends with 0x1200 plus the row.
#pragma once

#include <string>

#include "platform/Window.h"

class ParallelPortDialog : public ui::Dialog {
  public:
    explicit ParallelPortDialog(ui::WindowHandle owner);

    ui::ListView portList;
    // The name the row shows when Ok ended the dialog with a row; empty otherwise.
    std::string chosenPort;

  protected:
    bool OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    bool OnCommand(int id, int code) override;
    void OnClose() override;

  private:
    void FillParallelList();
};
