// Host tests of the simulated service manager's own controls: pending states over simulated
// time, services that hang in them, disabled services, failing queries, counts and leaks.
#include <string>
#include <thread>

#include "platform/Clock.h"
#include "platform/Service.h"
#include "platform/sim/SimRegistry.h"
#include "tests/unit/SimFixture.h"

namespace {

namespace svc = sim::service;
using State = sim::service::State;
using sys::Dword;

constexpr Dword kMarker = 0xdeadbeef;

class SimServiceTest : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        manager_ = sys::ScHandle(sys::OpenSCManagerA(nullptr, nullptr, sys::svc::ManagerAllAccess));
        ASSERT_TRUE(manager_);
    }

    sys::ScHandle Open(const char* name, Dword access = sys::svc::AllAccess) {
        return sys::ScHandle(sys::OpenServiceA(manager_.Get(), name, access));
    }

    static Dword Query(const sys::ScHandle& service) {
        sys::SERVICE_STATUS status;
        EXPECT_NE(0, sys::QueryServiceStatus(service.Get(), &status));
        return status.dwCurrentState;
    }

    static Dword Stop(const sys::ScHandle& service, sys::SERVICE_STATUS* status = nullptr) {
        sys::SERVICE_STATUS ignored;
        sys::SetLastError(kMarker);
        const int ok = sys::ControlService(service.Get(), sys::svc::ControlStop,
                                           status != nullptr ? status : &ignored);
        return ok != 0 ? 0 : sys::GetLastError();
    }

    static Dword Start(const sys::ScHandle& service) {
        sys::SetLastError(kMarker);
        return sys::StartServiceA(service.Get(), 0, nullptr) != 0 ? 0 : sys::GetLastError();
    }

    sys::ScHandle manager_;
};

TEST_F(SimServiceTest, FreshMachineHasARunningSpooler) {
    EXPECT_EQ(State::Running, svc::GetState("Spooler"));
    EXPECT_EQ(State::Running, svc::GetState("spooler"));
    auto spooler = Open("Spooler");
    sys::SERVICE_STATUS status;
    ASSERT_NE(0, sys::QueryServiceStatus(spooler.Get(), &status));
    EXPECT_EQ(sys::svc::Running, status.dwCurrentState);
    EXPECT_EQ(0x10u, status.dwServiceType);    // its own process
    EXPECT_EQ(1u, status.dwControlsAccepted);  // it takes a stop
    EXPECT_EQ(0u, status.dwWin32ExitCode);
    EXPECT_EQ(0u, status.dwWaitHint);
    EXPECT_EQ(0, svc::StartRequests("Spooler"));
    EXPECT_EQ(0, svc::StopRequests("Spooler"));
    EXPECT_EQ(1, svc::QueryCount("Spooler"));
    EXPECT_THROW(svc::GetState("Print Spooler"), std::invalid_argument);
}

// The state a stop or start request leads to at moments of simulated time after it.
struct TimeRow {
    Dword elapsed;
    Dword state;
};

TEST_F(SimServiceTest, StopThenStartFollowTheSimulatedClock) {
    svc::SetPendingTime("Spooler", 1000);
    auto spooler = Open("Spooler");
    sys::SERVICE_STATUS status;
    ASSERT_EQ(0u, Stop(spooler, &status));
    EXPECT_EQ(sys::svc::StopPending, status.dwCurrentState);
    EXPECT_EQ(1000u, status.dwWaitHint);
    EXPECT_EQ(0u, status.dwControlsAccepted);
    Dword now = 0;
    for (const TimeRow& row :
         {TimeRow{0, sys::svc::StopPending}, TimeRow{999, sys::svc::StopPending},
          TimeRow{1000, sys::svc::Stopped}, TimeRow{5000, sys::svc::Stopped}}) {
        SCOPED_TRACE(row.elapsed);
        sim::Advance(row.elapsed - now);
        now = row.elapsed;
        EXPECT_EQ(row.state, Query(spooler));
    }

    ASSERT_EQ(0u, Start(spooler));
    now = 0;
    for (const TimeRow& row :
         {TimeRow{0, sys::svc::StartPending}, TimeRow{999, sys::svc::StartPending},
          TimeRow{1000, sys::svc::Running}}) {
        SCOPED_TRACE(row.elapsed);
        sys::Sleep(row.elapsed - now);  // Sleep moves the clock as well
        now = row.elapsed;
        EXPECT_EQ(row.state, Query(spooler));
    }
    EXPECT_EQ(1, svc::StartRequests("Spooler"));
    EXPECT_EQ(1, svc::StopRequests("Spooler"));
    EXPECT_EQ(7, svc::QueryCount("Spooler"));
}

TEST_F(SimServiceTest, TheStateMovesOnWithoutAnyQuery) {
    auto spooler = Open("Spooler");
    ASSERT_EQ(0u, Stop(spooler));
    sim::Advance(300);
    EXPECT_EQ(State::Stopped, svc::GetState("Spooler"));
    // Started again after the stop finished unseen.
    EXPECT_EQ(0u, Start(spooler));
    sim::Advance(300);
    EXPECT_EQ(sys::svc::Running, Query(spooler));
}

// Each request in each state: the result, and the state right after it.
struct RequestRow {
    const char* what;
    State before;
    bool stop;  // else start
    Dword error;
    State after;
};

TEST_F(SimServiceTest, RequestsByState) {
    const RequestRow rows[] = {
        {"start a stopped one", State::Stopped, false, 0, State::StartPending},
        {"start a running one", State::Running, false, sys::err::ServiceAlreadyRunning,
         State::Running},
        {"start a starting one", State::StartPending, false, sys::err::ServiceAlreadyRunning,
         State::StartPending},
        {"start a stopping one", State::StopPending, false, sys::err::ServiceAlreadyRunning,
         State::StopPending},
        {"stop a running one", State::Running, true, 0, State::StopPending},
        {"stop a stopped one", State::Stopped, true, sys::err::ServiceNotActive, State::Stopped},
        {"stop a starting one", State::StartPending, true, sys::err::ServiceCannotAcceptControl,
         State::StartPending},
        {"stop a stopping one", State::StopPending, true, sys::err::ServiceCannotAcceptControl,
         State::StopPending},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        svc::Add("Worker", row.before);
        auto worker = Open("worker");
        ASSERT_TRUE(worker);
        sys::SERVICE_STATUS status;
        status.dwCurrentState = kMarker;
        EXPECT_EQ(row.error, row.stop ? Stop(worker, &status) : Start(worker));
        if (row.stop) {
            // The record is filled in on success and on 1062 and 1061 alike.
            EXPECT_EQ(static_cast<Dword>(row.after), status.dwCurrentState);
        }
        EXPECT_EQ(row.after, svc::GetState("Worker"));
    }
}

TEST_F(SimServiceTest, HangingServices) {
    auto spooler = Open("Spooler");
    svc::SetRefusesStop("Spooler", true);
    ASSERT_EQ(0u, Stop(spooler));
    sim::Advance(1000000);
    EXPECT_EQ(sys::svc::StopPending, Query(spooler));
    // Let go, it stops at once: its time has long passed.
    svc::SetRefusesStop("Spooler", false);
    EXPECT_EQ(sys::svc::Stopped, Query(spooler));

    svc::SetNeverStarts("Spooler", true);
    ASSERT_EQ(0u, Start(spooler));
    sim::Advance(1000000);
    EXPECT_EQ(sys::svc::StartPending, Query(spooler));
    EXPECT_EQ(sys::err::ServiceAlreadyRunning, Start(spooler));
    EXPECT_EQ(2, svc::StartRequests("Spooler"));
}

TEST_F(SimServiceTest, DisabledServiceDoesNotStart) {
    svc::SetState("Spooler", State::Stopped);
    svc::SetDisabled("SPOOLER", true);
    auto spooler = Open("Spooler");
    EXPECT_EQ(sys::err::ServiceDisabled, Start(spooler));  // 1058
    sim::Advance(1000);
    EXPECT_EQ(sys::svc::Stopped, Query(spooler));
    EXPECT_EQ(1, svc::StartRequests("Spooler"));
    svc::SetDisabled("Spooler", false);
    EXPECT_EQ(0u, Start(spooler));
}

TEST_F(SimServiceTest, FailingQuery) {
    svc::SetQueryFails("Spooler", true);
    auto spooler = Open("Spooler");
    sys::SERVICE_STATUS status;
    status.dwCurrentState = kMarker;
    sys::SetLastError(kMarker);
    EXPECT_EQ(0, sys::QueryServiceStatus(spooler.Get(), &status));
    EXPECT_EQ(sys::err::AccessDenied, sys::GetLastError());
    EXPECT_EQ(kMarker, status.dwCurrentState);  // left as it was
    EXPECT_EQ(1, svc::QueryCount("Spooler"));
    // Stopping and starting still work.
    EXPECT_EQ(0u, Stop(spooler));
}

TEST_F(SimServiceTest, HandleCountsAndBadHandles) {
    EXPECT_EQ(1, svc::OpenHandleCount());  // the fixture's manager
    {
        auto a = Open("Spooler");
        auto b = Open("Spooler", sys::svc::QueryStatus);
        EXPECT_EQ(3, svc::OpenHandleCount());
        // A manager handle is no service handle, and the other way round.
        sys::SERVICE_STATUS status;
        sys::SetLastError(kMarker);
        EXPECT_EQ(0, sys::QueryServiceStatus(manager_.Get(), &status));
        EXPECT_EQ(sys::err::InvalidHandle, sys::GetLastError());
        sys::SetLastError(kMarker);
        EXPECT_EQ(nullptr, sys::OpenServiceA(a.Get(), "Spooler", sys::svc::AllAccess));
        EXPECT_EQ(sys::err::InvalidHandle, sys::GetLastError());
        EXPECT_EQ(sys::err::AccessDenied, Start(b));
        EXPECT_EQ(sys::err::AccessDenied, Stop(b));
        EXPECT_EQ(State::Running, svc::GetState("Spooler"));
    }
    EXPECT_EQ(1, svc::OpenHandleCount());
    manager_.Close();
    EXPECT_EQ(0, svc::OpenHandleCount());
}

TEST_F(SimServiceTest, InjectedFailures) {
    auto spooler = Open("Spooler");
    sim::FailCall("ControlService", sys::err::ServiceRequestTimeout);
    EXPECT_EQ(sys::err::ServiceRequestTimeout, Stop(spooler));
    EXPECT_EQ(State::Running, svc::GetState("Spooler"));

    sim::FailCall("OpenServiceA", sys::err::AccessDenied);
    sys::SetLastError(kMarker);
    EXPECT_FALSE(Open("Spooler"));
    EXPECT_EQ(sys::err::AccessDenied, sys::GetLastError());

    sim::FailCall("QueryServiceStatus", sys::err::InvalidHandle, -1);
    sys::SERVICE_STATUS status;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(0, sys::QueryServiceStatus(spooler.Get(), &status));
    }
    sim::ClearFailures();
    EXPECT_EQ(sys::svc::Running, Query(spooler));
    EXPECT_EQ(4, sim::CallCount("QueryServiceStatus"));
    EXPECT_EQ(2, sim::CallCount("OpenServiceA"));
    EXPECT_EQ(2, svc::OpenHandleCount());
}

TEST_F(SimServiceTest, PollingFromAnotherThreadSeesTheServiceStart) {
    svc::SetState("Spooler", State::Stopped);
    auto spooler = Open("Spooler");
    ASSERT_EQ(0u, Start(spooler));
    std::thread poller([this] {
        auto mine = Open("Spooler", sys::svc::QueryStatus);
        for (int i = 0; i < 100 && Query(mine) != sys::svc::Running; ++i) {
            sys::Sleep(10);
        }
    });
    for (int i = 0; i < 100; ++i) {
        Query(spooler);
    }
    poller.join();
    EXPECT_EQ(State::Running, svc::GetState("Spooler"));
    EXPECT_EQ(2, svc::OpenHandleCount());
}

}  // namespace
