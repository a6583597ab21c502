// Makes sure a service runs: started when stopped, or stopped and started again.
#pragma once

#include <functional>
#include <string>

#include "platform/Types.h"

namespace install {

// The mode that only starts a stopped service (the value of SERVICE_START); any other mode
// restarts a service that is not stopped.
constexpr int kStartOnly = 16;

// Each wait for a wanted state pauses between queries and gives up after this long.
constexpr sys::Dword kServicePollMs = 50;
constexpr sys::Dword kServiceWaitMs = 30000;

// Runs the service control; `report` shows "Service status is unknown" when the state cannot
// be read or is not reached in time. False in that case.
bool RestartService(const std::string& serviceName, int mode,
                    const std::function<void(const std::string&)>& report);

class Frontend;
// The same, reported in the front end's box with the product's caption.
bool RestartService(Frontend& front, const std::string& serviceName, int mode);

}  // namespace install
