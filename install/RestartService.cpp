// Service control with bounded, pausing waits: start only, or stop and start again.
#include "install/RestartService.h"

#include "app/InstallDialog.h"
#include "platform/Clock.h"
#include "platform/Service.h"
#include "platform/Window.h"

namespace install {
namespace {

const char* const kStatusUnknown = "Service status is unknown";

// Queries until the service is in `wanted`; false when a query fails or the bound runs out.
bool WaitForState(sys::ServiceHandle query, sys::SERVICE_STATUS& status, sys::Dword wanted) {
    const sys::Dword start = sys::GetTickCount();
    for (;;) {
        if (!sys::QueryServiceStatus(query, &status)) {
            return false;
        }
        if (status.dwCurrentState == wanted) {
            return true;
        }
        if (sys::GetTickCount() - start >= kServiceWaitMs) {
            return false;
        }
        sys::Sleep(kServicePollMs);
    }
}

// Starts the service through its own handle and waits until it runs.
bool StartAndWait(sys::ServiceHandle manager, sys::ServiceHandle query,
                  const std::string& serviceName, sys::SERVICE_STATUS& status) {
    sys::ScHandle control(sys::OpenServiceA(manager, serviceName.c_str(), sys::svc::AllAccess));
    if (!sys::StartServiceA(control.Get(), 0, nullptr)) {
        // 1056: it is already running or on its way. Anything else (1058 disabled, 1060
        // missing, 6 no handle) will not change by waiting.
        if (sys::GetLastError() != sys::err::ServiceAlreadyRunning) {
            return false;
        }
    }
    return WaitForState(query, status, sys::svc::Running);
}

}  // namespace

bool RestartService(const std::string& serviceName, int mode,
                    const std::function<void(const std::string&)>& report) {
    sys::ScHandle manager(
        sys::OpenSCManagerA(nullptr, "ServicesActive", sys::svc::ManagerAllAccess));
    sys::ScHandle query(sys::OpenServiceA(manager.Get(), serviceName.c_str(), sys::svc::AllAccess));
    sys::SERVICE_STATUS status{};
    const bool known = sys::QueryServiceStatus(query.Get(), &status) != 0;
    if (!known) {
        report(kStatusUnknown);
    }

    bool reached = true;
    if (status.dwCurrentState == sys::svc::Stopped) {
        reached = StartAndWait(manager.Get(), query.Get(), serviceName, status);
    } else if (mode != kStartOnly) {
        {
            sys::ScHandle control(
                sys::OpenServiceA(manager.Get(), serviceName.c_str(), sys::svc::AllAccess));
            // 1062: the service was already stopped; the wait below sees that at once.
            sys::ControlService(control.Get(), sys::svc::ControlStop, &status);
        }
        reached = WaitForState(query.Get(), status, sys::svc::Stopped) &&
                  StartAndWait(manager.Get(), query.Get(), serviceName, status);
    }
    // One report for one failure: a failed first query has said it already.
    if (!reached && known) {
        report(kStatusUnknown);
    }
    return reached && known;
}

}  // namespace install

bool InstallDialog::RestartService(const std::string& serviceName, int mode) {
    return install::RestartService(serviceName, mode, [this](const std::string& text) {
        AppMessageBox(text, ui::mb::IconInformation);
    });
}
