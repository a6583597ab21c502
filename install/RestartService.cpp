// Service control with bounded, pausing waits: start only, or stop and start again.
#include "install/RestartService.h"

#include "install/Frontend.h"
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

enum class Start { Failed, Started, FoundRunning };

// Asks for the start and waits until the service runs; whether a start of ours made it run. A
// service still stopping refuses the start as one that runs does (1056); it is asked again once
// it has stopped.
Start StartAndWait(sys::ServiceHandle control, sys::ServiceHandle query,
                   sys::SERVICE_STATUS& status) {
    const sys::Dword begin = sys::GetTickCount();
    bool accepted = false;
    bool ask = true;
    for (;;) {
        if (ask) {
            accepted = sys::StartServiceA(control, 0, nullptr) != 0;
            // Anything but 1056 (1058 disabled, 1053 its process ended, 6 no handle) will not
            // change by waiting.
            if (!accepted && sys::GetLastError() != sys::err::ServiceAlreadyRunning) {
                return Start::Failed;
            }
        }
        if (!sys::QueryServiceStatus(query, &status)) {
            return Start::Failed;
        }
        if (status.dwCurrentState == sys::svc::Running) {
            return accepted ? Start::Started : Start::FoundRunning;
        }
        // Stopped again after an accepted start: it will not run by being asked once more.
        if (status.dwCurrentState == sys::svc::Stopped && accepted) {
            return Start::Failed;
        }
        ask = status.dwCurrentState == sys::svc::Stopped;
        if (sys::GetTickCount() - begin >= kServiceWaitMs) {
            return Start::Failed;
        }
        sys::Sleep(kServicePollMs);
    }
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

    // An unknown state is not acted on: a stop could not be known to be followed by a start.
    bool reached = known;
    // A run killed during a restart leaves the service stopping or starting: nobody else sees
    // it through, so here both count as stopped and the start waits (1056 while pending).
    const sys::Dword state = status.dwCurrentState;
    const bool stopped = state == sys::svc::Stopped || state == sys::svc::StopPending ||
                         (mode == kStartOnly && state == sys::svc::StartPending);
    if (known && (stopped || mode != kStartOnly)) {
        // One handle for the stop and the start.
        sys::ScHandle control(
            sys::OpenServiceA(manager.Get(), serviceName.c_str(), sys::svc::AllAccess));
        bool stopReached = true;
        if (!stopped) {
            // 1062: the service was already stopped; the wait below sees that at once.
            sys::ControlService(control.Get(), sys::svc::ControlStop, &status);
            stopReached = WaitForState(query.Get(), status, sys::svc::Stopped);
        }
        // Whatever the stop wait saw, the service is not left stopped by us. It was restarted
        // if it stopped, seen by the wait or by our start being taken.
        const Start start = StartAndWait(control.Get(), query.Get(), status);
        reached = start == Start::Started || (start == Start::FoundRunning && stopReached);
    }
    // One report for one failure: a failed first query has said it already.
    if (!reached && known) {
        report(kStatusUnknown);
    }
    return reached;
}

bool RestartService(Frontend& front, const std::string& serviceName, int mode) {
    return RestartService(serviceName, mode, [&front, &serviceName](const std::string& text) {
        front.Log(text + " (" + serviceName + ")");
        front.AppMessageBox(text, ui::mb::IconInformation);
    });
}

}  // namespace install
