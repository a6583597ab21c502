// Conformance of the service control manager calls, on the "Spooler" service that both a
// Windows machine and a Wine prefix have. The cases leave the spooler running.
#include <cstring>
#include <set>

#include "platform/Clock.h"
#include "platform/Service.h"
#include "tests/conformance/Conformance.h"

namespace {

using conformance::kFill;
using conformance::kMarker;
using sys::Dword;
using sys::ScHandle;

// Pauses between status queries while a service moves; Sleep advances the sim's clock.
constexpr Dword kPollPause = 50;
constexpr int kPollLimit = 400;  // 20 s: a real spooler takes well under a second

sys::SERVICE_STATUS Filled() {
    sys::SERVICE_STATUS status;
    std::memset(static_cast<void*>(&status), kFill, sizeof status);
    return status;
}

class ServiceConformance : public conformance::Test {
  protected:
    void SetUp() override {
        conformance::Test::SetUp();
        manager_ =
            ScHandle(sys::OpenSCManagerA(nullptr, "ServicesActive", sys::svc::ManagerAllAccess));
        ASSERT_TRUE(manager_) << "OpenSCManagerA: " << sys::GetLastError();
        spooler_ = ScHandle(sys::OpenServiceA(manager_.Get(), "Spooler", sys::svc::AllAccess));
        ASSERT_TRUE(spooler_) << "OpenServiceA: " << sys::GetLastError();
    }

    Dword State() {
        sys::SERVICE_STATUS status = Filled();
        EXPECT_NE(0, sys::QueryServiceStatus(spooler_.Get(), &status)) << sys::GetLastError();
        return status.dwCurrentState;
    }

    // Queries until the state is `wanted`; returns every state seen on the way.
    std::set<Dword> WaitFor(Dword wanted) {
        std::set<Dword> seen;
        for (int i = 0; i < kPollLimit; ++i) {
            const Dword state = State();
            seen.insert(state);
            if (state == wanted) {
                return seen;
            }
            sys::Sleep(kPollPause);
        }
        ADD_FAILURE() << "the service never reached state " << wanted;
        return seen;
    }

    void EnsureRunning() {
        if (State() == sys::svc::Stopped) {
            ASSERT_NE(0, sys::StartServiceA(spooler_.Get(), 0, nullptr)) << sys::GetLastError();
        }
        WaitFor(sys::svc::Running);
    }

    ScHandle manager_;
    ScHandle spooler_;
};

// OpenSCManagerA: only the active database is there.
struct ManagerRow {
    const char* database;
    Dword error;  // 0: opens
};

TEST_F(ServiceConformance, OpenManagerByDatabaseName) {
    const ManagerRow rows[] = {
        {nullptr, 0},
        {"ServicesActive", 0},
        {"ServicesFailed", 1065},  // ERROR_DATABASE_DOES_NOT_EXIST: a name, but not there
        {"NoSuchDatabase", 123},   // ERROR_INVALID_NAME: no database name at all
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.database == nullptr ? "(null)" : row.database);
        sys::SetLastError(kMarker);
        ScHandle manager(sys::OpenSCManagerA(nullptr, row.database, sys::svc::ManagerAllAccess));
        EXPECT_EQ(row.error == 0, static_cast<bool>(manager));
        if (row.error != 0) {
            EXPECT_EQ(row.error, sys::GetLastError());
        }
    }
}

// OpenServiceA: the key name, in any case, and nothing else.
struct OpenRow {
    const char* name;
    Dword error;  // 0: opens
};

TEST_F(ServiceConformance, OpenServiceByKeyName) {
    const OpenRow rows[] = {
        {"Spooler", 0},
        {"SPOOLER", 0},
        {"Print Spooler", sys::err::ServiceDoesNotExist},  // the display name does not open it
        {"NoSuchService", sys::err::ServiceDoesNotExist},
        {"Spo/oler", 123},  // ERROR_INVALID_NAME: slashes are no part of a service name
        {"", 123},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        sys::SetLastError(kMarker);
        ScHandle service(sys::OpenServiceA(manager_.Get(), row.name, sys::svc::QueryStatus));
        EXPECT_EQ(row.error == 0, static_cast<bool>(service));
        if (row.error != 0) {
            EXPECT_EQ(row.error, sys::GetLastError());
        }
    }
    sys::SetLastError(kMarker);
    EXPECT_EQ(nullptr, sys::OpenServiceA(nullptr, "Spooler", sys::svc::QueryStatus));
    EXPECT_EQ(sys::err::InvalidHandle, sys::GetLastError());
}

TEST_F(ServiceConformance, QueryNeedsAQueryHandle) {
    sys::SERVICE_STATUS status = Filled();
    sys::SetLastError(kMarker);
    EXPECT_EQ(0, sys::QueryServiceStatus(nullptr, &status));
    EXPECT_EQ(sys::err::InvalidHandle, sys::GetLastError());

    ScHandle startOnly(sys::OpenServiceA(manager_.Get(), "Spooler", sys::svc::Start));
    ASSERT_TRUE(startOnly);
    sys::SetLastError(kMarker);
    EXPECT_EQ(0, sys::QueryServiceStatus(startOnly.Get(), &status));
    EXPECT_EQ(sys::err::AccessDenied, sys::GetLastError());

    // And a stop needs the stop right.
    EnsureRunning();
    ScHandle queryOnly(sys::OpenServiceA(manager_.Get(), "Spooler", sys::svc::QueryStatus));
    ASSERT_TRUE(queryOnly);
    sys::SetLastError(kMarker);
    EXPECT_EQ(0, sys::ControlService(queryOnly.Get(), sys::svc::ControlStop, &status));
    EXPECT_EQ(sys::err::AccessDenied, sys::GetLastError());
    EXPECT_EQ(sys::svc::Running, State());
}

TEST_F(ServiceConformance, HandlesAreDistinct) {
    ScHandle second(sys::OpenServiceA(manager_.Get(), "Spooler", sys::svc::AllAccess));
    ScHandle manager(sys::OpenSCManagerA(nullptr, nullptr, sys::svc::ManagerAllAccess));
    ASSERT_TRUE(second);
    ASSERT_TRUE(manager);
    EXPECT_NE(spooler_.Get(), second.Get());
    EXPECT_NE(manager_.Get(), manager.Get());
    // Closing one leaves the other working.
    second.Close();
    sys::SERVICE_STATUS status = Filled();
    EXPECT_NE(0, sys::QueryServiceStatus(spooler_.Get(), &status));

    sys::SetLastError(kMarker);
    EXPECT_EQ(0, sys::CloseServiceHandle(nullptr));
    EXPECT_EQ(sys::err::InvalidHandle, sys::GetLastError());
}

TEST_F(ServiceConformance, ClosingTwiceFails) {
    sys::ServiceHandle handle = sys::OpenServiceA(manager_.Get(), "Spooler", sys::svc::QueryStatus);
    ASSERT_NE(nullptr, handle);
    ASSERT_NE(0, sys::CloseServiceHandle(handle));
    sys::SetLastError(kMarker);
    EXPECT_EQ(0, sys::CloseServiceHandle(handle));
    EXPECT_EQ(sys::err::InvalidHandle, sys::GetLastError());
}

// A full stop and start of the spooler with the errors each state gives on the way.
TEST_F(ServiceConformance, StopAndStartPassThroughPendingStates) {
    EnsureRunning();

    sys::SetLastError(kMarker);
    EXPECT_EQ(0, sys::StartServiceA(spooler_.Get(), 0, nullptr));
    EXPECT_EQ(sys::err::ServiceAlreadyRunning, sys::GetLastError());  // 1056

    sys::SERVICE_STATUS status = Filled();
    ASSERT_NE(0, sys::ControlService(spooler_.Get(), sys::svc::ControlStop, &status))
        << sys::GetLastError();
    EXPECT_TRUE(status.dwCurrentState == sys::svc::StopPending ||
                status.dwCurrentState == sys::svc::Stopped)
        << status.dwCurrentState;
    const auto stopping = WaitFor(sys::svc::Stopped);
    for (Dword state : stopping) {
        EXPECT_TRUE(state == sys::svc::StopPending || state == sys::svc::Stopped) << state;
    }
    if (conformance::OnSim()) {
        EXPECT_EQ(1u, stopping.count(sys::svc::StopPending));  // Wine's spooler may skip it
    }

    // 1062: a stopped service cannot be stopped; the record still says it is stopped.
    status = Filled();
    sys::SetLastError(kMarker);
    EXPECT_EQ(0, sys::ControlService(spooler_.Get(), sys::svc::ControlStop, &status));
    EXPECT_EQ(sys::err::ServiceNotActive, sys::GetLastError());
    EXPECT_EQ(sys::svc::Stopped, status.dwCurrentState);

    ASSERT_NE(0, sys::StartServiceA(spooler_.Get(), 0, nullptr)) << sys::GetLastError();
    const auto starting = WaitFor(sys::svc::Running);
    for (Dword state : starting) {
        EXPECT_TRUE(state == sys::svc::StartPending || state == sys::svc::Running) << state;
    }
    if (conformance::OnSim()) {
        EXPECT_EQ(1u, starting.count(sys::svc::StartPending));
    }
}

}  // namespace
