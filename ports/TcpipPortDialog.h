// "Configure TCP/IP PrinterPort": pick, add, configure or delete the TCP/IP ports; Ok ends
// with 0x1200 plus the row.
#pragma once

#include <string>

#include "platform/Window.h"

class TcpipPortDialog : public ui::Dialog {
  public:
    explicit TcpipPortDialog(ui::WindowHandle owner);

    ui::ListView portList;
    // The name the row shows when Ok ended the dialog with a row; empty otherwise.
    std::string chosenPort;

  protected:
    bool OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    bool OnCommand(int id, int code) override;
    void OnClose() override;

  private:
    void FillTcpipList();
    void OnAddPort();
    void OnConfigurePort();
    void OnDeletePort();
    void OnPortsOk();
};
